#pragma once
// The passwords of the saved network cameras. They go to the desktop's
// Secret Service (GNOME Keyring, KWallet, KeePassXC) when one runs and its
// default collection is unlocked; otherwise to hasla_kamer.ini in AppDir,
// which only the user may read (mode 0600). Nothing here ever asks the
// desktop to unlock a collection: an unlock prompt would hold the GUI thread
// for as long as the user takes to answer it.
#include <optional>
#include <string>

#include "capture/sources/video_source.h"

namespace qmd {

inline constexpr const char* kPasswordFileName = "hasla_kamer.ini";

// The full path of hasla_kamer.ini: in AppDir.
std::string PasswordFilePath();

// A camera's password is found by the camera's address and user.
struct PasswordOwner {
    std::string Address;
    std::string User;
};

// Keeps the password and says where: Keyring or PrivateFile. Throws
// QuiskError when neither takes it. The other place forgets any password it
// held for the owner.
CredentialsKept StoreCameraPassword(const PasswordOwner& owner, const std::string& password,
                                    const std::string& filePath);
// The password kept there, or nothing (none kept, or the keyring is locked
// or gone).
std::optional<std::string> LookUpCameraPassword(const PasswordOwner& owner, CredentialsKept where,
                                                const std::string& filePath);
// Forgets the password in both places.
void ForgetCameraPassword(const PasswordOwner& owner, const std::string& filePath);

}  // namespace qmd
