#pragma once
// The network cameras the user added in the window "Kamera sieciowa": one
// section each in kamery.ini in AppDir, listed after the system's cameras
// and the environment's sources. The file holds no password; it says where
// the password is kept (camera_passwords.h).
#include <optional>
#include <string>
#include <vector>

#include "capture/sources/video_source.h"

namespace qmd {

inline constexpr const char* kSavedCamerasFileName = "kamery.ini";

struct SavedCamera {
    std::string Name;     // unique in the list, the caption in "Urządzenia"
    std::string Address;  // http://, https:// or rtsp://, without user and password
    std::string User;     // empty when the camera asks for none
    CredentialsKept Password = CredentialsKept::None;
    bool operator==(const SavedCamera&) const = default;
};

// The full path of kamery.ini: in AppDir.
std::string SavedCamerasPath();

// The cameras in file order; a section without a name or an address is
// skipped (and kept in the file).
std::vector<SavedCamera> ReadSavedCameras(const std::string& path);

// Stores the camera in the section of the one named `replacing` (a change),
// or in a new section at the end (an addition). One atomic write; lines the
// program does not know stay. Throws QuiskError when the file cannot be
// written.
void StoreSavedCamera(const std::string& path, const SavedCamera& camera, const std::string& replacing = {});
void RemoveSavedCamera(const std::string& path, const std::string& name);

// Whether `name` is taken by a camera other than `except` (letter case
// ignored, as the menu's reader would hardly tell them apart).
bool SavedCameraNameTaken(const std::vector<SavedCamera>& cameras, const std::string& name, const std::string& except);

// The camera as a source; its identity is its address.
VideoSource SourceOfSavedCamera(const SavedCamera& camera);
// The producer of the device list: the cameras of kamery.ini in AppDir.
std::vector<VideoSource> SavedCamerasAsSources();
// The saved camera a source of kind SavedCamera stands for, found by its
// identity; nothing when it was removed since.
std::optional<SavedCamera> FindSavedCamera(const VideoSource& source);

}  // namespace qmd
