// Where a saved network camera's password goes: into a real Secret Service
// (gnome-keyring-daemon on a bus of the test's own, tests/support/
// with_secret_service.sh) and into no file; where none answers, into a file
// only the user may read, neither as plain text nor as hex. The list of
// saved cameras keeps the lines it does not know.
#include <sys/stat.h>

#include <csignal>
#include <chrono>
#include <cstdlib>

#include "base/app_dir.h"
#include "capture/sources/camera_passwords.h"
#include "capture/sources/network_camera_store.h"
#include "capture/sources/saved_cameras.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace qmd::test {
namespace {

const std::string kPassword = "Tajne-H@slo:ząb-7";

std::string Hex(const std::string& text)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : text) hex.append({kDigits[c >> 4], kDigits[c & 15]});
    return hex;
}

// No file under the folder holds the password, as it is or in hex.
void ExpectPasswordInNoFile(const std::filesystem::path& folder)
{
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const std::string bytes = ReadFileBytes(entry.path().string());
        EXPECT_EQ(bytes.find(kPassword), std::string::npos) << entry.path();
        EXPECT_EQ(bytes.find(Hex(kPassword)), std::string::npos) << entry.path();
    }
}

TEST(Keyring, ThePasswordGoesToTheSecretServiceAndNoFile)
{
    if (!std::getenv("QMD_SECRET_SERVICE")) GTEST_SKIP() << "run by tests/support/with_secret_service.sh";
    TempDir dir;
    SetAppDir(dir.Path().string());
    SaveNetworkCamera({"Brama", "http://127.0.0.1:8081/video", "admin", CredentialsKept::None}, kPassword);
    SaveNetworkCamera({"Garaż", "http://127.0.0.1:8081/video", "gosc", CredentialsKept::None}, "inne");

    const std::vector<SavedCamera> cameras = ReadSavedCameras(SavedCamerasPath());
    ASSERT_EQ(cameras.size(), 2u);
    EXPECT_EQ(cameras[0].Password, CredentialsKept::Keyring);
    EXPECT_EQ(PasswordOfSavedCamera(cameras[0]), kPassword);
    EXPECT_EQ(PasswordOfSavedCamera(cameras[1]), "inne");
    EXPECT_FALSE(std::filesystem::exists(PasswordFilePath()));
    ExpectPasswordInNoFile(dir.Path());

    // A new user for the camera: the old user's password is forgotten.
    SaveNetworkCamera({"Brama", "http://127.0.0.1:8081/video", "operator", CredentialsKept::None}, "nowe", "Brama");
    EXPECT_FALSE(
        LookUpCameraPassword({"http://127.0.0.1:8081/video", "admin"}, CredentialsKept::Keyring, PasswordFilePath()));
    EXPECT_EQ(PasswordOfSavedCamera(ReadSavedCameras(SavedCamerasPath())[0]), "nowe");
    DeleteNetworkCamera("Brama");
    EXPECT_FALSE(LookUpCameraPassword({"http://127.0.0.1:8081/video", "operator"}, CredentialsKept::Keyring,
                                      PasswordFilePath()));
    EXPECT_EQ(PasswordOfSavedCamera(ReadSavedCameras(SavedCamerasPath())[0]), "inne");
}

// A Secret Service that stopped answering (its daemon stopped, its name
// still on the bus) holds no call for D-Bus's 25 s: the keyring counts as
// gone, the password goes to the private file, and a lookup finds nothing.
TEST(Keyring, ASecretServiceThatStoppedAnsweringHoldsNothingUp)
{
    const char* daemon = std::getenv("QMD_KEYRING_PID");
    if (!daemon) GTEST_SKIP() << "run by tests/support/with_secret_service.sh";
    TempDir dir;
    SetAppDir(dir.Path().string());
    const PasswordOwner owner{"rtsp://127.0.0.1:8554/camera", "admin"};
    ASSERT_EQ(StoreCameraPassword(owner, kPassword, PasswordFilePath()), CredentialsKept::Keyring);

    const pid_t keyring = static_cast<pid_t>(std::atol(daemon));
    ASSERT_GT(keyring, 1) << "QMD_KEYRING_PID=" << daemon;  // never a process group
    ASSERT_EQ(::kill(keyring, SIGSTOP), 0);
    const auto started = std::chrono::steady_clock::now();
    const std::optional<std::string> found = LookUpCameraPassword(owner, CredentialsKept::Keyring, PasswordFilePath());
    const CredentialsKept kept = StoreCameraPassword(owner, "inne", PasswordFilePath());
    const auto took = std::chrono::steady_clock::now() - started;
    ::kill(keyring, SIGCONT);

    EXPECT_FALSE(found.has_value());
    EXPECT_EQ(kept, CredentialsKept::PrivateFile);
    EXPECT_EQ(LookUpCameraPassword(owner, CredentialsKept::PrivateFile, PasswordFilePath()), "inne");
    // Not a measure of speed: D-Bus alone would have waited 25 s for each call.
    EXPECT_LT(took, std::chrono::seconds(25));
}

TEST(PrivateFile, WithoutASecretServiceThePasswordGoesToAFileOnlyTheUserReads)
{
    TempDir dir;
    SetAppDir(dir.Path().string());
    // A file an earlier hand made readable by others is narrowed first.
    WriteFileBytes(PasswordFilePath(), "; hasla\r\n");
    ::chmod(PasswordFilePath().c_str(), 0644);
    WriteFileBytes(SavedCamerasPath(), "; moje kamery\r\n[Inne]\r\nklucz=wartosc\r\n");

    SaveNetworkCamera({"Brama", "rtsp://10.0.0.2/stream", "admin", CredentialsKept::None}, kPassword);
    SaveNetworkCamera({"Ogród", "http://10.0.0.3/video", "", CredentialsKept::None}, "");
    std::vector<SavedCamera> cameras = ReadSavedCameras(SavedCamerasPath());
    ASSERT_EQ(cameras.size(), 2u);
    EXPECT_EQ(cameras[0].Password, CredentialsKept::PrivateFile);
    EXPECT_EQ(cameras[1].Password, CredentialsKept::None);
    EXPECT_EQ(PasswordOfSavedCamera(cameras[0]), kPassword);
    struct stat st {};
    ASSERT_EQ(::stat(PasswordFilePath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ExpectPasswordInNoFile(dir.Path());

    // The camera listed as a source: its identity and address hold no
    // password, and it says where the password is.
    const std::vector<VideoSource> sources = SavedCamerasAsSources();
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources[0].Kind, SourceKind::SavedCamera);
    EXPECT_EQ(sources[0].Identity, "rtsp://10.0.0.2/stream");
    EXPECT_EQ(sources[0].Credentials, CredentialsKept::PrivateFile);
    EXPECT_EQ(FindSavedCamera(sources[1])->Name, "Ogród");

    SaveNetworkCamera({"Brama 2", "rtsp://10.0.0.2/stream", "admin", CredentialsKept::None}, "nowe", "Brama");
    DeleteNetworkCamera("Ogród");
    cameras = ReadSavedCameras(SavedCamerasPath());
    ASSERT_EQ(cameras.size(), 1u);
    EXPECT_EQ(cameras[0].Name, "Brama 2");
    EXPECT_EQ(PasswordOfSavedCamera(cameras[0]), "nowe");
    const std::string list = ReadFileBytes(SavedCamerasPath());
    EXPECT_NE(list.find("; moje kamery\r\n[Inne]\r\nklucz=wartosc\r\n"), std::string::npos) << list;
    EXPECT_NE(ReadFileBytes(PasswordFilePath()).find("; hasla"), std::string::npos);
    DeleteNetworkCamera("Brama 2");
    EXPECT_EQ(ReadFileBytes(PasswordFilePath()).find("admin"), std::string::npos);
}

}  // namespace
}  // namespace qmd::test
