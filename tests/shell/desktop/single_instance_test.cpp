// The single-instance lock across real processes: held while its owner lives,
// free the moment the owner dies (even by SIGKILL), never inherited by the
// programs the owner starts.
#include "shell/desktop/single_instance.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qmd {
namespace {

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) savedRuntimeDir_ = old;
        setenv("XDG_RUNTIME_DIR", runtimeDir_.Path().c_str(), 1);
    }
    void TearDown() override
    {
        if (savedRuntimeDir_)
            setenv("XDG_RUNTIME_DIR", savedRuntimeDir_->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }

    test::TempDir runtimeDir_;
    std::optional<std::string> savedRuntimeDir_;
};

bool ReadAll(int fd, void* buffer, size_t size)
{
    auto* bytes = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t got = read(fd, bytes, size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

// A child that takes the lock, starts a long-running program of its own, reports
// that program's pid and waits to be killed. Reports pid 0 when it could not
// take the lock.
pid_t StartHolder(int& reportFd)
{
    int report[2];
    if (pipe(report) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(report[0]);
        auto lock = SingleInstanceLock::TryAcquire();
        pid_t started = 0;
        if (lock && lock->Holds()) {
            char sleepPath[] = "/bin/sleep";
            char seconds[] = "60";
            char* argv[] = {sleepPath, seconds, nullptr};
            if (posix_spawn(&started, sleepPath, nullptr, nullptr, argv, environ) != 0) started = 0;
        }
        [[maybe_unused]] const ssize_t written = write(report[1], &started, sizeof started);
        for (;;) pause();
    }
    close(report[1]);
    reportFd = report[0];
    return child;
}

TEST_F(SingleInstance, SecondProcessIsRefusedUntilTheHolderIsKilled)
{
    int reportFd = -1;
    const pid_t holder = StartHolder(reportFd);
    ASSERT_GT(holder, 0);
    pid_t sleeper = 0;
    ASSERT_TRUE(ReadAll(reportFd, &sleeper, sizeof sleeper));
    close(reportFd);
    ASSERT_GT(sleeper, 0) << "the holder could not take the lock";

    EXPECT_EQ(SingleInstanceLock::TryAcquire(), nullptr);
    EXPECT_EQ(SingleInstanceLock::TryAcquire(), nullptr);

    kill(holder, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(holder, &status, 0), holder);
    // The program the holder started is still running: it did not inherit
    // the lock, so the lock is free.
    ASSERT_EQ(kill(sleeper, 0), 0);
    const auto lock = SingleInstanceLock::TryAcquire();
    kill(sleeper, SIGKILL);
    ASSERT_NE(lock, nullptr);
    EXPECT_TRUE(lock->Holds());
    EXPECT_TRUE(std::filesystem::exists(runtimeDir_.File("ApplicationTestMap.lock")));
}

TEST_F(SingleInstance, ReleasedWhenTheOwnerLetsGo)
{
    auto first = SingleInstanceLock::TryAcquire();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(first->Holds());
    EXPECT_EQ(SingleInstanceLock::TryAcquire(), nullptr);
    first.reset();
    EXPECT_NE(SingleInstanceLock::TryAcquire(), nullptr);
}

TEST_F(SingleInstance, UnusableRuntimeDirectoryFallsBackToAPerUserFileInTmp)
{
    const std::string inTmp = "/tmp/ApplicationTestMap-" + std::to_string(getuid()) + ".lock";
    EXPECT_EQ(SingleInstanceLock::LockFilePath(), runtimeDir_.File("ApplicationTestMap.lock"));
    chmod(runtimeDir_.Path().c_str(), 0755);  // others may read: not a runtime directory
    EXPECT_EQ(SingleInstanceLock::LockFilePath(), inTmp);
    setenv("XDG_RUNTIME_DIR", runtimeDir_.File("missing").c_str(), 1);
    EXPECT_EQ(SingleInstanceLock::LockFilePath(), inTmp);
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(SingleInstanceLock::LockFilePath(), inTmp);
}

TEST_F(SingleInstance, LockFileThatCannotBeOpenedLetsTheProgramRunUnguarded)
{
    // A directory where the lock file belongs, or a symbolic link planted
    // there, must not keep the user from starting the program.
    std::filesystem::create_directory(runtimeDir_.File("ApplicationTestMap.lock"));
    auto unguarded = SingleInstanceLock::TryAcquire();
    ASSERT_NE(unguarded, nullptr);
    EXPECT_FALSE(unguarded->Holds());
    std::filesystem::remove(runtimeDir_.File("ApplicationTestMap.lock"));

    std::filesystem::create_symlink(runtimeDir_.File("elsewhere"), runtimeDir_.File("ApplicationTestMap.lock"));
    auto notFollowed = SingleInstanceLock::TryAcquire();
    ASSERT_NE(notFollowed, nullptr);
    EXPECT_FALSE(notFollowed->Holds());
    EXPECT_FALSE(std::filesystem::exists(runtimeDir_.File("elsewhere")));
}

}  // namespace
}  // namespace qmd
