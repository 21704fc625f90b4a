#include "capture/sources/camera_passwords.h"

#include <fcntl.h>
#include <libsecret/secret.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "base/app_dir.h"
#include "base/ini_document.h"
#include "base/settings_file.h"
#include "common/quisk_error.h"
#include "gst/handles.h"

namespace qmd {

namespace {

// ---- The Secret Service ----

const SecretSchema* CameraSchema()
{
    static const SecretSchema schema = {"org.quisk.MotionDetector.Camera",
                                        SECRET_SCHEMA_NONE,
                                        {
                                            {"address", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                        },
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    return &schema;
}

template <typename T>
using ObjectHandle = gst::GObjectHandle<T>;
struct HashTableUnref {
    void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};
using Attributes = std::unique_ptr<GHashTable, HashTableUnref>;

Attributes AttributesOf(const PasswordOwner& owner)
{
    return Attributes(
        secret_attributes_build(CameraSchema(), "address", owner.Address.c_str(), "user", owner.User.c_str(), nullptr));
}

// The keyring is asked synchronously on the GUI thread (a few local round
// trips, never a prompt). A Secret Service that has stopped answering would
// hold the window for D-Bus's 25 s: every call made while a deadline lives
// is cancelled once it has taken this long, and the keyring counts as gone.
constexpr std::chrono::seconds kKeyringPatience{3};

class KeyringDeadline {
public:
    KeyringDeadline() : cancellable_(g_cancellable_new()), watch_([this] { CancelWhenLate(); }) {}
    ~KeyringDeadline()
    {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        finished_.notify_one();
        watch_.join();
    }
    KeyringDeadline(const KeyringDeadline&) = delete;
    KeyringDeadline& operator=(const KeyringDeadline&) = delete;

    GCancellable* Cancellable() const { return cancellable_.get(); }

private:
    void CancelWhenLate()
    {
        std::unique_lock lock(mutex_);
        if (!finished_.wait_for(lock, kKeyringPatience, [this] { return done_; }))
            g_cancellable_cancel(cancellable_.get());
    }

    ObjectHandle<GCancellable> cancellable_;
    std::mutex mutex_;
    std::condition_variable finished_;
    bool done_ = false;
    std::thread watch_;  // last: it reads the members above
};

// The Secret Service with a session open, or null where none answers.
ObjectHandle<SecretService> Service(const KeyringDeadline& deadline)
{
    gst::ErrorHandle error;
    return ObjectHandle<SecretService>(
        secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, deadline.Cancellable(), error.out()));
}

bool StoreInKeyring(const PasswordOwner& owner, const std::string& password)
{
    const KeyringDeadline deadline;
    const ObjectHandle<SecretService> service = Service(deadline);
    if (!service) return false;
    gst::ErrorHandle error;
    const ObjectHandle<SecretCollection> collection(secret_collection_for_alias_sync(
        service.get(), SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, deadline.Cancellable(), error.out()));
    // A locked collection would need the user to unlock it in a prompt.
    if (!collection || secret_collection_get_locked(collection.get())) return false;
    const Attributes attributes = AttributesOf(owner);
    SecretValue* value = secret_value_new(password.c_str(), -1, "text/plain");
    const std::string label = "Quisk Motion Detector: " + owner.Address;
    const ObjectHandle<SecretItem> item(secret_item_create_sync(collection.get(), CameraSchema(), attributes.get(),
                                                                label.c_str(), value, SECRET_ITEM_CREATE_REPLACE,
                                                                deadline.Cancellable(), error.out()));
    secret_value_unref(value);
    return static_cast<bool>(item);
}

std::optional<std::string> LookUpInKeyring(const PasswordOwner& owner)
{
    const KeyringDeadline deadline;
    const ObjectHandle<SecretService> service = Service(deadline);
    if (!service) return {};
    gst::ErrorHandle error;
    const Attributes attributes = AttributesOf(owner);
    // Without SECRET_SEARCH_UNLOCK: a locked item stays locked, no prompt.
    GList* items = secret_service_search_sync(service.get(), CameraSchema(), attributes.get(),
                                              SECRET_SEARCH_LOAD_SECRETS, deadline.Cancellable(), error.out());
    std::optional<std::string> password;
    for (GList* at = items; at && !password; at = at->next) {
        SecretValue* value = secret_item_get_secret(SECRET_ITEM(at->data));
        if (!value) continue;
        gsize length = 0;
        const gchar* text = secret_value_get(value, &length);
        password = std::string(text, length);
        secret_value_unref(value);
    }
    g_list_free_full(items, g_object_unref);
    return password;
}

void ForgetInKeyring(const PasswordOwner& owner)
{
    const KeyringDeadline deadline;
    const ObjectHandle<SecretService> service = Service(deadline);
    if (!service) return;
    gst::ErrorHandle error;
    const Attributes attributes = AttributesOf(owner);
    secret_service_clear_sync(service.get(), CameraSchema(), attributes.get(), deadline.Cancellable(), error.out());
}

// ---- The private file ----
//
// One section per password. The password is base64-encoded: the file's
// mode is what protects it; the encoding only keeps it from being read over
// a shoulder or turning up in a search for the plain text.

constexpr std::string_view kFileSectionPrefix = "Haslo ";
constexpr std::string_view kFileAddressKey = "Adres";
constexpr std::string_view kFileUserKey = "Uzytkownik";
constexpr std::string_view kFilePasswordKey = "Haslo";

std::string SectionOfOwner(const SettingsFile& file, const PasswordOwner& owner)
{
    for (const std::string& section : file.Sections())
        if (section.starts_with(kFileSectionPrefix) && file.ReadString(section, kFileAddressKey) == owner.Address &&
            file.ReadString(section, kFileUserKey) == owner.User)
            return section;
    return {};
}

// The file exists with mode 0600 before anything is written to it; an
// existing file that others could read is narrowed first.
bool MakePrivate(const std::string& path)
{
    EnsureParentDirectory(path);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool narrowed = ::fchmod(fd, 0600) == 0;
    ::close(fd);
    return narrowed;
}

void StoreInFile(const PasswordOwner& owner, const std::string& password, const std::string& path)
{
    if (!MakePrivate(path)) throw QuiskError("Unable to write to " + path);
    SettingsFile file(path);
    std::string section = SectionOfOwner(file, owner);
    if (section.empty()) section = file.UnusedSection(kFileSectionPrefix);
    gst::CharsHandle encoded{g_base64_encode(reinterpret_cast<const guchar*>(password.data()), password.size())};
    file.Edit([&](IniDocument& document) {
        document.Set(section, kFileAddressKey, owner.Address);
        document.Set(section, kFileUserKey, owner.User);
        document.Set(section, kFilePasswordKey, encoded.get());
    });
}

std::optional<std::string> LookUpInFile(const PasswordOwner& owner, const std::string& path)
{
    const SettingsFile file(path);
    const std::string section = SectionOfOwner(file, owner);
    if (section.empty()) return {};
    const std::string encoded = file.ReadString(section, kFilePasswordKey);
    gsize length = 0;
    gst::CharsHandle decoded{reinterpret_cast<gchar*>(g_base64_decode(encoded.c_str(), &length))};
    return std::string(decoded.get() ? decoded.get() : "", length);
}

void ForgetInFile(const PasswordOwner& owner, const std::string& path)
{
    SettingsFile file(path);
    const std::string section = SectionOfOwner(file, owner);
    if (!section.empty()) file.RemoveSection(section);
}

}  // namespace

std::string PasswordFilePath() { return AppFile(kPasswordFileName); }

CredentialsKept StoreCameraPassword(const PasswordOwner& owner, const std::string& password,
                                    const std::string& filePath)
{
    if (StoreInKeyring(owner, password)) {
        ForgetInFile(owner, filePath);
        return CredentialsKept::Keyring;
    }
    StoreInFile(owner, password, filePath);
    return CredentialsKept::PrivateFile;
}

std::optional<std::string> LookUpCameraPassword(const PasswordOwner& owner, CredentialsKept where,
                                                const std::string& filePath)
{
    switch (where) {
    case CredentialsKept::Keyring: return LookUpInKeyring(owner);
    case CredentialsKept::PrivateFile: return LookUpInFile(owner, filePath);
    default: return {};
    }
}

void ForgetCameraPassword(const PasswordOwner& owner, const std::string& filePath)
{
    ForgetInKeyring(owner);
    ForgetInFile(owner, filePath);
}

}  // namespace qmd
