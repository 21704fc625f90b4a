#include "capture/sources/saved_cameras.h"

#include "base/app_dir.h"
#include "base/ini_document.h"
#include "base/settings_file.h"
#include "common/ascii_case.h"
#include "common/quisk_error.h"

namespace qmd {

namespace {

constexpr std::string_view kSectionPrefix = "Kamera ";
constexpr std::string_view kNameKey = "Nazwa";
constexpr std::string_view kAddressKey = "Adres";
constexpr std::string_view kUserKey = "Uzytkownik";
// Where the password is: kKeyring or kPrivateFile; missing when none.
constexpr std::string_view kPasswordKey = "Haslo";
constexpr std::string_view kKeyring = "Secret Service";
constexpr std::string_view kPrivateFile = "plik";

bool IsCameraSection(const std::string& section) { return section.starts_with(kSectionPrefix); }

std::string_view KeptText(CredentialsKept kept)
{
    switch (kept) {
    case CredentialsKept::Keyring: return kKeyring;
    case CredentialsKept::PrivateFile: return kPrivateFile;
    default: return {};
    }
}

CredentialsKept KeptFromText(const std::string& text)
{
    if (EqualsIgnoringAsciiCase(text, kKeyring)) return CredentialsKept::Keyring;
    if (EqualsIgnoringAsciiCase(text, kPrivateFile)) return CredentialsKept::PrivateFile;
    return CredentialsKept::None;
}

// The section of the camera named `name`, or empty.
std::string SectionOf(const SettingsFile& file, const std::string& name)
{
    for (const std::string& section : file.Sections())
        if (IsCameraSection(section) && file.ReadString(section, kNameKey) == name) return section;
    return {};
}

}  // namespace

std::string SavedCamerasPath() { return AppFile(kSavedCamerasFileName); }

std::vector<SavedCamera> ReadSavedCameras(const std::string& path)
{
    const SettingsFile file(path);
    std::vector<SavedCamera> cameras;
    for (const std::string& section : file.Sections()) {
        if (!IsCameraSection(section)) continue;
        SavedCamera camera{file.ReadString(section, kNameKey), file.ReadString(section, kAddressKey),
                           file.ReadString(section, kUserKey), KeptFromText(file.ReadString(section, kPasswordKey))};
        if (camera.Name.empty() || camera.Address.empty()) continue;
        cameras.push_back(std::move(camera));
    }
    return cameras;
}

void StoreSavedCamera(const std::string& path, const SavedCamera& camera, const std::string& replacing)
{
    SettingsFile file(path);
    std::string section = replacing.empty() ? std::string() : SectionOf(file, replacing);
    if (section.empty()) section = file.UnusedSection(kSectionPrefix);
    for (const std::string_view value :
         {std::string_view(camera.Name), std::string_view(camera.Address), std::string_view(camera.User)})
        if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
            throw QuiskError("Unable to write to " + path + ": the value holds a line break");
    file.Edit([&](IniDocument& document) {
        document.Set(section, kNameKey, camera.Name);
        document.Set(section, kAddressKey, camera.Address);
        document.Set(section, kUserKey, camera.User);
        document.Set(section, kPasswordKey, KeptText(camera.Password));
    });
}

void RemoveSavedCamera(const std::string& path, const std::string& name)
{
    SettingsFile file(path);
    const std::string section = SectionOf(file, name);
    if (!section.empty()) file.RemoveSection(section);
}

bool SavedCameraNameTaken(const std::vector<SavedCamera>& cameras, const std::string& name, const std::string& except)
{
    for (const auto& camera : cameras)
        if (EqualsIgnoringAsciiCase(camera.Name, name) && !EqualsIgnoringAsciiCase(camera.Name, except)) return true;
    return false;
}

VideoSource SourceOfSavedCamera(const SavedCamera& camera)
{
    VideoSource source;
    source.Kind = SourceKind::SavedCamera;
    source.DisplayName = camera.Name;
    source.Identity = camera.Address;
    source.DeviceClass = kVideoSourceClass;
    source.Address = camera.Address;
    source.Credentials = camera.User.empty() ? CredentialsKept::None : camera.Password;
    return source;
}

std::vector<VideoSource> SavedCamerasAsSources()
{
    std::vector<VideoSource> sources;
    for (const auto& camera : ReadSavedCameras(SavedCamerasPath())) sources.push_back(SourceOfSavedCamera(camera));
    return sources;
}

std::optional<SavedCamera> FindSavedCamera(const VideoSource& source)
{
    if (source.Kind != SourceKind::SavedCamera) return {};
    // Two entries may watch one address (as two users); the name tells them
    // apart until one is renamed.
    std::optional<SavedCamera> found;
    for (auto& camera : ReadSavedCameras(SavedCamerasPath())) {
        if (camera.Address != source.Identity) continue;
        if (camera.Name == source.DisplayName) return camera;
        if (!found) found = std::move(camera);
    }
    return found;
}

}  // namespace qmd
