#pragma once
// Adding, changing and removing a saved network camera: its entry in
// kamery.ini and its password where camera_passwords.h keeps it, together.
#include <string>

#include "capture/sources/saved_cameras.h"

namespace qmd {

// Stores the camera (its Password field is ignored: where the password goes
// is decided here) as a change of the one named `replacing`, or as a new
// one. A password the camera no longer uses (its user or address changed,
// or it has no user now) is forgotten. Throws QuiskError when the list or
// the password cannot be written.
void SaveNetworkCamera(const SavedCamera& camera, const std::string& password, const std::string& replacing = {});
void DeleteNetworkCamera(const std::string& name);
// The camera's password, or empty when it has none or it cannot be read.
std::string PasswordOfSavedCamera(const SavedCamera& camera);

}  // namespace qmd
