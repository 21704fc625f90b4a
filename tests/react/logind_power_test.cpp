// The power actions against python-dbusmock's logind on a private bus that
// stands in for the system bus.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QThread>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sys/prctl.h>
#include <thread>

#include "common/quisk_error.h"
#include "react/core/logind_power_manager.h"
#include "support/temp_dir.h"

namespace qmd {
namespace {

class MockLogind {
public:
    explicit MockLogind(const std::string& logFile)
    {
        // Both helpers end with the test, even when it dies.
        for (QProcess* p : {&bus_, &mock_}) p->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        bus_.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--print-address"), QStringLiteral("--nofork")});
        if (!bus_.waitForStarted(10000)) return;
        QByteArray address;
        for (int i = 0; i < 200 && !address.contains('\n'); ++i) {
            bus_.waitForReadyRead(100);
            address += bus_.readAllStandardOutput();
        }
        address = address.trimmed();
        if (address.isEmpty()) return;
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.constData(), 1);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QString::fromUtf8(address));
        mock_.setProcessEnvironment(env);
        mock_.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
                     QStringLiteral("logind"), QStringLiteral("-l"), QString::fromStdString(logFile)});
        if (!mock_.waitForStarted(10000)) return;
        QDBusConnection bus = QDBusConnection::systemBus();
        for (int i = 0; i < 400; ++i) {
            if (bus.isConnected() && bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.login1"))) {
                ready_ = true;
                return;
            }
            QThread::msleep(50);
        }
    }
    ~MockLogind()
    {
        for (QProcess* p : {&mock_, &bus_}) {
            p->terminate();
            if (!p->waitForFinished(5000)) p->kill(), p->waitForFinished(5000);
        }
    }
    bool Ready() const { return ready_; }

private:
    QProcess bus_;
    QProcess mock_;
    bool ready_ = false;
};

class LogindPowerTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new test::TempDir;
        mock_ = new MockLogind(LogFile());
    }
    static void TearDownTestSuite()
    {
        delete mock_;
        delete dir_;
    }
    static std::string LogFile() { return dir_->File("logind.log"); }

    // Waits (bounded) for the mock's log to hold `call`.
    static bool Logged(const std::string& call)
    {
        for (int i = 0; i < 400; ++i) {
            if (test::ReadFileBytes(LogFile()).find(call) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

    void SetUp() override
    {
        if (!mock_->Ready()) GTEST_SKIP() << "no dbus-daemon or python3-dbusmock";
    }

    static test::TempDir* dir_;
    static MockLogind* mock_;
};
test::TempDir* LogindPowerTest::dir_ = nullptr;
MockLogind* LogindPowerTest::mock_ = nullptr;

TEST_F(LogindPowerTest, IndexesCallTheirMethods)
{
    LogindPowerManager power;
    const std::pair<int, const char*> table[] = {
        {1, "Suspend False"}, {2, "Hibernate False"}, {4, "PowerOff False"}, {5, "Reboot False"}};
    for (const auto& [index, call] : table) {
        SCOPED_TRACE(index);
        EXPECT_TRUE(RequestPowerAction(power, index));
        EXPECT_TRUE(Logged(call));
    }
    EXPECT_FALSE(RequestPowerAction(power, 0));
    EXPECT_FALSE(RequestPowerAction(power, -1));
}

TEST_F(LogindPowerTest, LogOffTerminatesTheSession)
{
    ::setenv("XDG_SESSION_ID", "c7", 1);
    LogindPowerManager power;
    EXPECT_TRUE(RequestPowerAction(power, 3));
    EXPECT_TRUE(Logged("TerminateSession \"c7\""));
    ::unsetenv("XDG_SESSION_ID");
}

TEST_F(LogindPowerTest, CallsFromAnotherThread)
{
    LogindPowerManager power;
    std::thread frameThread([&] { power.Reboot(); });
    frameThread.join();
    EXPECT_TRUE(Logged("Reboot False"));
}

}  // namespace
}  // namespace qmd
