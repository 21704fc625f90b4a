#include "capture/sources/network_camera_store.h"

#include <optional>

#include "capture/sources/camera_passwords.h"

namespace qmd {

namespace {

std::optional<SavedCamera> CameraNamed(const std::string& name)
{
    if (name.empty()) return {};
    for (auto& camera : ReadSavedCameras(SavedCamerasPath()))
        if (camera.Name == name) return camera;
    return {};
}

}  // namespace

void SaveNetworkCamera(const SavedCamera& camera, const std::string& password, const std::string& replacing)
{
    const std::optional<SavedCamera> before = CameraNamed(replacing);
    SavedCamera stored = camera;
    stored.Password = camera.User.empty()
                          ? CredentialsKept::None
                          : StoreCameraPassword({camera.Address, camera.User}, password, PasswordFilePath());
    StoreSavedCamera(SavedCamerasPath(), stored, replacing);
    if (before && !before->User.empty() &&
        (before->Address != stored.Address || before->User != stored.User || stored.User.empty()))
        ForgetCameraPassword({before->Address, before->User}, PasswordFilePath());
}

void DeleteNetworkCamera(const std::string& name)
{
    const std::optional<SavedCamera> camera = CameraNamed(name);
    if (!camera) return;
    RemoveSavedCamera(SavedCamerasPath(), name);
    // Another entry may watch the same camera as the same user.
    for (const auto& other : ReadSavedCameras(SavedCamerasPath()))
        if (other.Address == camera->Address && other.User == camera->User) return;
    if (!camera->User.empty()) ForgetCameraPassword({camera->Address, camera->User}, PasswordFilePath());
}

std::string PasswordOfSavedCamera(const SavedCamera& camera)
{
    if (camera.User.empty()) return {};
    return LookUpCameraPassword({camera.Address, camera.User}, camera.Password, PasswordFilePath()).value_or("");
}

}  // namespace qmd
