#include "capture/elements/mjpeg_http_source.h"

#include <gio/gio.h>
#include <gst/base/gstpushsrc.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "capture/elements/http_authentication.h"
#include "capture/elements/jpeg_picture_size.h"
#include "capture/elements/multipart_jpeg_parser.h"
#include "common/application_title.h"
#include "common/caught_exception.h"
#include "gst/handles.h"

namespace qmd {
namespace {

// GST_DEBUG=qmdmjpeghttpsrc:5 traces the connection and every image; the
// errors the element posts are logged here too.
GST_DEBUG_CATEGORY_STATIC(qmd_mjpeg_http_src_debug);
#define GST_CAT_DEFAULT qmd_mjpeg_http_src_debug

// For connecting and for every read: a camera silent for longer is gone.
constexpr guint kTimeoutSeconds = 15;
// Room for a whole 1920x1080 image (about 250 KB) in one read: at 64 KB a
// 1280x720 image took two waits and two reads, a 1080p one four.
constexpr std::size_t kReadSize = 256 * 1024;
constexpr guint16 kDefaultPort = 80;

struct Session {
    // Set through the properties from any thread; guarded by the object lock.
    std::string location;
    // "user-id" and "user-pw": sent only when the camera asks. Without a
    // user, the user and password of the location are used, as souphttpsrc
    // does.
    std::string userId;
    std::string userPw;
    // Cancelled from the thread that stops the stream while the streaming
    // thread blocks in a read (GCancellable is thread-safe).
    gst::GObjectHandle<GCancellable> cancellable;

    // Used by start, stop and the streaming thread, which the base class
    // never runs at the same time.
    std::string host;
    guint16 port = kDefaultPort;
    // The request line and headers, without the Authorization header and the
    // blank line that ends them.
    std::string requestHead;
    // The request target, which a Digest answer covers.
    std::string target;
    // From the address, percent-decoded; sent only when the camera asks.
    std::optional<HttpCredentials> credentials;
    // The answer to the camera's last challenge; empty before the first.
    std::string authorization;
    // Answers given since the start, and whether one was to a stale nonce:
    // a camera that refuses an answer refuses the credentials.
    int answers = 0;
    bool answeredStale = false;
    std::string lastNonce;
    std::uint32_t nonceCount = 0;
    gst::GObjectHandle<GSocketClient> client;
    gst::GObjectHandle<GSocketConnection> connection;
    MultipartJpegParser parser;
    bool holdsCancelFd = false;
};

struct QmdMjpegHttpSrc {
    GstPushSrc parent;
    Session* session;
};
struct QmdMjpegHttpSrcClass {
    GstPushSrcClass parent_class;
};

G_DEFINE_TYPE(QmdMjpegHttpSrc, qmd_mjpeg_http_src, GST_TYPE_PUSH_SRC)

enum { kPropertyLocation = 1, kPropertyUserId, kPropertyUserPw };

GstStaticPadTemplate srcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("image/jpeg"));

QmdMjpegHttpSrc* Self(gpointer object) { return reinterpret_cast<QmdMjpegHttpSrc*>(object); }

bool HasLineBreak(const char* text) { return text && std::strpbrk(text, "\r\n") != nullptr; }

// What the properties say, copied under the object lock when the stream starts.
struct Settings {
    std::string location;
    std::string userId;
    std::string userPw;
};

// Splits the location into what the connection and the request need; false
// (with the element's error posted) for anything but a usable http:// address.
bool PrepareRequest(QmdMjpegHttpSrc* self, const Settings& settings)
{
    Session& session = *self->session;
    gst::ErrorHandle error;
    const std::string& location = settings.location;
    gst::UriHandle uri{g_uri_parse(location.c_str(),
                                   GUriFlags(G_URI_FLAGS_HAS_PASSWORD | G_URI_FLAGS_ENCODED_PATH |
                                             G_URI_FLAGS_ENCODED_QUERY | G_URI_FLAGS_SCHEME_NORMALIZE),
                                   error.out())};
    const char* host = uri ? g_uri_get_host(uri.get()) : nullptr;
    const char* path = uri ? g_uri_get_path(uri.get()) : nullptr;
    const char* query = uri ? g_uri_get_query(uri.get()) : nullptr;
    if (!uri || g_ascii_strcasecmp(g_uri_get_scheme(uri.get()), "http") != 0 || !host || !*host || HasLineBreak(host) ||
        HasLineBreak(path) || HasLineBreak(query)) {
        GST_ELEMENT_ERROR(self, RESOURCE, NOT_FOUND, ("\"%s\" is not an http:// address", location.c_str()),
                          ("%s", error ? error->message : "unsupported address"));
        return false;
    }
    const int port = g_uri_get_port(uri.get());
    session.host = host;
    session.port = port > 0 && port <= 65535 ? static_cast<guint16>(port) : kDefaultPort;

    std::string hostHeader = std::strchr(host, ':') ? "[" + session.host + "]" : session.host;
    if (session.port != kDefaultPort) hostHeader += ":" + std::to_string(session.port);
    session.target = path && *path ? path : "/";
    if (query) {
        session.target += '?';
        session.target += query;
    }
    session.requestHead =
        "GET " + session.target + " HTTP/1.0\r\nHost: " + hostHeader + "\r\nUser-Agent: quisk-motion-detector\r\n";
    // GUri has decoded the user information already.
    session.credentials.reset();
    if (!settings.userId.empty()) {
        session.credentials = HttpCredentials{settings.userId, settings.userPw};
    } else if (const char* user = g_uri_get_user(uri.get())) {
        const char* password = g_uri_get_password(uri.get());
        session.credentials = HttpCredentials{user, password ? password : ""};
    }
    session.authorization.clear();
    session.answers = 0;
    session.answeredStale = false;
    session.lastNonce.clear();
    session.nonceCount = 0;
    return true;
}

gboolean Start(GstBaseSrc* base)
{
    QmdMjpegHttpSrc* self = Self(base);
    Session& session = *self->session;
    GST_OBJECT_LOCK(self);
    const Settings settings{session.location, session.userId, session.userPw};
    GST_OBJECT_UNLOCK(self);
    try {
        if (!PrepareRequest(self, settings)) return FALSE;
        session.parser = MultipartJpegParser();
    } catch (...) {
        GST_ELEMENT_ERROR(self, RESOURCE, OPEN_READ, ("%s", CaughtExceptionText().c_str()), (nullptr));
        return FALSE;
    }
    g_cancellable_reset(session.cancellable.get());
    // Every blocking read polls the cancellable's descriptor; holding it
    // keeps one for the whole session instead of one made and closed per read.
    GPollFD held{};
    if (!session.holdsCancelFd) session.holdsCancelFd = g_cancellable_make_pollfd(session.cancellable.get(), &held);
    session.client.reset(g_socket_client_new());
    g_socket_client_set_timeout(session.client.get(), kTimeoutSeconds);
    // A camera on the local network, reached directly: no proxy lookup (and
    // none of the resolver's threads).
    g_socket_client_set_enable_proxy(session.client.get(), FALSE);
    return TRUE;
}

gboolean Stop(GstBaseSrc* base)
{
    Session& session = *Self(base)->session;
    if (session.connection) g_io_stream_close(G_IO_STREAM(session.connection.get()), nullptr, nullptr);
    session.connection.reset();
    session.client.reset();
    session.parser = MultipartJpegParser();
    if (session.holdsCancelFd) g_cancellable_release_fd(session.cancellable.get());
    session.holdsCancelFd = false;
    return TRUE;
}

gboolean Unlock(GstBaseSrc* base)
{
    g_cancellable_cancel(Self(base)->session->cancellable.get());
    return TRUE;
}

gboolean UnlockStop(GstBaseSrc* base)
{
    g_cancellable_reset(Self(base)->session->cancellable.get());
    return TRUE;
}

bool Cancelled(const gst::ErrorHandle& error)
{
    return error && g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED);
}

GstFlowReturn Connect(QmdMjpegHttpSrc* self)
{
    Session& session = *self->session;
    gst::ErrorHandle error;
    gst::GObjectHandle<GSocketConnectable> address{g_network_address_new(session.host.c_str(), session.port)};
    session.connection.reset(
        g_socket_client_connect(session.client.get(), address.get(), session.cancellable.get(), error.out()));
    if (!session.connection) {
        if (Cancelled(error)) return GST_FLOW_FLUSHING;
        GST_ELEMENT_ERROR(self, RESOURCE, OPEN_READ, ("%s", error ? error->message : "Could not connect"),
                          ("connecting to %s port %u", session.host.c_str(), session.port));
        return GST_FLOW_ERROR;
    }
    // Never logged: the answer may carry the password (Basic) or what can be
    // tried against it offline (Digest).
    std::string request = session.requestHead;
    if (!session.authorization.empty()) request += "Authorization: " + session.authorization + "\r\n";
    request += "Connection: close\r\n\r\n";
    GOutputStream* output = g_io_stream_get_output_stream(G_IO_STREAM(session.connection.get()));
    if (!g_output_stream_write_all(output, request.data(), request.size(), nullptr, session.cancellable.get(),
                                   error.out())) {
        if (Cancelled(error)) return GST_FLOW_FLUSHING;
        GST_ELEMENT_ERROR(self, RESOURCE, WRITE, ("%s", error ? error->message : "Could not send the request"),
                          (nullptr));
        return GST_FLOW_ERROR;
    }
    GST_DEBUG_OBJECT(self, "connected to %s port %u, request sent", session.host.c_str(), session.port);
    return GST_FLOW_OK;
}

enum class Answer { Sent, NoCredentials, Refused, Unsupported };

// Prepares the answer to a 401 response's challenges for the next
// connection. The camera gets one answer, and one more only when it says the
// nonce of the first went stale: any other refusal is final, so that wrong
// credentials are reported instead of being sent on and on.
Answer AnswerChallenge(QmdMjpegHttpSrc* self)
{
    Session& session = *self->session;
    if (!session.credentials) return Answer::NoCredentials;
    const std::vector<HttpChallenge> challenges = ParseHttpChallenges(session.parser.Challenges());
    const HttpChallenge* challenge = ChooseHttpChallenge(challenges);
    if (!challenge) return Answer::Unsupported;
    const bool staleAgain = challenge->IsStale() && !session.answeredStale;
    if (session.answers > 0 && !staleAgain) return Answer::Refused;
    if (session.answers > 0) session.answeredStale = true;
    ++session.answers;

    if (!g_ascii_strcasecmp(challenge->Scheme.c_str(), "Basic")) {
        session.authorization = BasicAuthorization(*session.credentials);
        GST_DEBUG_OBJECT(self, "answering the camera's Basic challenge as user \"%s\"",
                         session.credentials->User.c_str());
        return Answer::Sent;
    }
    const std::string& nonce = *challenge->Parameter("nonce");
    session.nonceCount = nonce == session.lastNonce ? session.nonceCount + 1 : 1;
    session.lastNonce = nonce;
    const DigestRequest request{
        .Uri = session.target, .NonceCount = session.nonceCount, .ClientNonce = NewClientNonce()};
    session.authorization = DigestAuthorization(*challenge, *session.credentials, request).value_or("");
    GST_DEBUG_OBJECT(self, "answering the camera's Digest challenge as user \"%s\"%s",
                     session.credentials->User.c_str(), staleAgain ? " (its nonce went stale)" : "");
    return session.authorization.empty() ? Answer::Unsupported : Answer::Sent;
}

void ReportRefusedAuthentication(QmdMjpegHttpSrc* self, Answer answer)
{
    const char* status = self->session->parser.Message().c_str();
    switch (answer) {
    case Answer::NoCredentials:
        GST_ELEMENT_ERROR(self, RESOURCE, NOT_AUTHORIZED, ("%s", status),
                          ("HTTP status 401; the address names no user"));
        break;
    case Answer::Unsupported:
        GST_ELEMENT_ERROR(self, RESOURCE, NOT_AUTHORIZED,
                          ("The camera asks for an authentication this program does not support"),
                          ("HTTP status 401 (%s)", status));
        break;
    default:
        GST_ELEMENT_ERROR(self, RESOURCE, NOT_AUTHORIZED, ("%s", kRefusedCredentialsMessage),
                          ("HTTP status 401 (%s)", status));
        break;
    }
}

void ReportParserFailure(QmdMjpegHttpSrc* self)
{
    const MultipartJpegParser& parser = self->session->parser;
    const char* message = parser.Message().c_str();
    switch (parser.Error()) {
    case MultipartJpegParser::Failure::HttpStatus:
        if (parser.Status() == 404) {
            GST_ELEMENT_ERROR(self, RESOURCE, NOT_FOUND, ("%s", message), ("HTTP status %d", parser.Status()));
        } else if (parser.Status() == 401 || parser.Status() == 403) {
            GST_ELEMENT_ERROR(self, RESOURCE, NOT_AUTHORIZED, ("%s", message), ("HTTP status %d", parser.Status()));
        } else {
            GST_ELEMENT_ERROR(self, RESOURCE, READ, ("%s", message), ("HTTP status %d", parser.Status()));
        }
        break;
    case MultipartJpegParser::Failure::NotMultipart:
        GST_ELEMENT_ERROR(self, STREAM, WRONG_TYPE, ("%s", message), (nullptr));
        break;
    default: GST_ELEMENT_ERROR(self, STREAM, DEMUX, ("%s", message), (nullptr)); break;
    }
}

GstFlowReturn ReadImage(QmdMjpegHttpSrc* self, GstBuffer** out)
{
    Session& session = *self->session;
    if (!session.connection) {
        const GstFlowReturn connected = Connect(self);
        if (connected != GST_FLOW_OK) return connected;
    }
    GSocket* socket = g_socket_connection_get_socket(session.connection.get());
    for (;;) {
        switch (session.parser.Next()) {
        case MultipartJpegParser::Outcome::Part: {
            const auto part = session.parser.Part();
            GST_LOG_OBJECT(self, "image of %zu bytes", part.size());
            // Whatever decoder follows (GStreamer's own one too) would
            // allocate the picture the header declares before decoding it.
            if (const auto size = DeclaredJpegSize(part); size && !IsAcceptedJpegSize(size->Width, size->Height)) {
                GST_ELEMENT_WARNING(self, STREAM, DECODE, ("%s", OversizedJpegReason(size->Width, size->Height).c_str()),
                                    (nullptr));
                continue;
            }
            *out = gst_buffer_new_memdup(part.data(), part.size());
            return GST_FLOW_OK;
        }
        case MultipartJpegParser::Outcome::Failed: {
            if (session.parser.Error() != MultipartJpegParser::Failure::HttpStatus || session.parser.Status() != 401) {
                ReportParserFailure(self);
                return GST_FLOW_ERROR;
            }
            const Answer answer = AnswerChallenge(self);
            if (answer != Answer::Sent) {
                ReportRefusedAuthentication(self, answer);
                return GST_FLOW_ERROR;
            }
            // The answer goes in a request of its own, on a new connection.
            g_io_stream_close(G_IO_STREAM(session.connection.get()), nullptr, nullptr);
            session.connection.reset();
            session.parser = MultipartJpegParser();
            const GstFlowReturn connected = Connect(self);
            if (connected != GST_FLOW_OK) return connected;
            socket = g_socket_connection_get_socket(session.connection.get());
            continue;
        }
        case MultipartJpegParser::Outcome::NeedMore: break;
        }
        const auto space = session.parser.WritableSpace(kReadSize);
        gst::ErrorHandle error;
        // Waiting before receiving: the next image is seldom there already,
        // and a receive that finds nothing would be a wasted call per frame.
        gssize got = -1;
        if (g_socket_condition_timed_wait(socket, G_IO_IN, gint64{kTimeoutSeconds} * G_USEC_PER_SEC,
                                          session.cancellable.get(), error.out()))
            got = g_socket_receive_with_blocking(socket, reinterpret_cast<gchar*>(space.data()), space.size(), FALSE,
                                                 session.cancellable.get(), error.out());
        if (got == 0) return GST_FLOW_EOS;  // the camera closed the connection
        if (got < 0) {
            if (Cancelled(error)) return GST_FLOW_FLUSHING;
            if (error && g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK)) continue;
            GST_ELEMENT_ERROR(self, RESOURCE, READ, ("%s", error ? error->message : "Could not read"), (nullptr));
            return GST_FLOW_ERROR;
        }
        session.parser.Commit(static_cast<std::size_t>(got));
    }
}

GstFlowReturn Create(GstPushSrc* source, GstBuffer** out)
{
    QmdMjpegHttpSrc* self = Self(source);
    try {
        return ReadImage(self, out);
    } catch (...) {
        GST_ELEMENT_ERROR(self, RESOURCE, READ, ("%s", CaughtExceptionText().c_str()), (nullptr));
        return GST_FLOW_ERROR;
    }
}

// The session's string that a property stands for; null for no such property.
std::string* PropertyText(Session& session, guint id)
{
    switch (id) {
    case kPropertyLocation: return &session.location;
    case kPropertyUserId: return &session.userId;
    case kPropertyUserPw: return &session.userPw;
    default: return nullptr;
    }
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec)
{
    QmdMjpegHttpSrc* self = Self(object);
    std::string* text = PropertyText(*self->session, id);
    if (!text) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
        return;
    }
    const char* given = g_value_get_string(value);
    GST_OBJECT_LOCK(self);
    *text = given ? given : "";
    GST_OBJECT_UNLOCK(self);
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec)
{
    QmdMjpegHttpSrc* self = Self(object);
    const std::string* text = PropertyText(*self->session, id);
    if (!text) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
        return;
    }
    GST_OBJECT_LOCK(self);
    g_value_set_string(value, text->c_str());
    GST_OBJECT_UNLOCK(self);
}

void Finalize(GObject* object)
{
    delete Self(object)->session;
    G_OBJECT_CLASS(qmd_mjpeg_http_src_parent_class)->finalize(object);
}

void qmd_mjpeg_http_src_class_init(QmdMjpegHttpSrcClass* klass)
{
    GST_DEBUG_CATEGORY_INIT(qmd_mjpeg_http_src_debug, kMjpegHttpSourceName, 0, "MJPEG over HTTP camera source");
    GObjectClass* objectClass = G_OBJECT_CLASS(klass);
    objectClass->set_property = SetProperty;
    objectClass->get_property = GetProperty;
    objectClass->finalize = Finalize;
    g_object_class_install_property(
        objectClass, kPropertyLocation,
        g_param_spec_string("location", "Location", "The camera's http:// address", nullptr,
                            GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_READY)));
    // As souphttpsrc and rtspsrc name them.
    g_object_class_install_property(
        objectClass, kPropertyUserId,
        g_param_spec_string("user-id", "User ID", "The user name sent when the camera asks", nullptr,
                            GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_READY)));
    g_object_class_install_property(
        objectClass, kPropertyUserPw,
        g_param_spec_string("user-pw", "User Password", "The password sent when the camera asks", nullptr,
                            GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_READY)));

    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(elementClass, &srcTemplate);
    gst_element_class_set_static_metadata(elementClass, "MJPEG over HTTP camera source", "Source/Network",
                                          "Reads the JPEG images of an MJPEG-over-HTTP camera",
                                          kApplicationTitle);

    GstBaseSrcClass* baseClass = GST_BASE_SRC_CLASS(klass);
    baseClass->start = Start;
    baseClass->stop = Stop;
    baseClass->unlock = Unlock;
    baseClass->unlock_stop = UnlockStop;
    GST_PUSH_SRC_CLASS(klass)->create = Create;
}

void qmd_mjpeg_http_src_init(QmdMjpegHttpSrc* self)
{
    self->session = new Session;
    self->session->cancellable.reset(g_cancellable_new());
    GstBaseSrc* base = GST_BASE_SRC(self);
    gst_base_src_set_live(base, TRUE);
    gst_base_src_set_format(base, GST_FORMAT_TIME);
    gst_base_src_set_do_timestamp(base, TRUE);
}

}  // namespace

GType MjpegHttpSourceType() { return qmd_mjpeg_http_src_get_type(); }

}  // namespace qmd
