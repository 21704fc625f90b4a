#include "capture/core/mjpeg_http_source.h"

#include <gio/gio.h>
#include <gst/base/gstpushsrc.h>

#include <cstring>
#include <string>

#include "capture/core/multipart_jpeg_parser.h"
#include "common/caught_exception.h"
#include "gst/handles.h"
#include "gst/init.h"

namespace qmd {
namespace {

// GST_DEBUG=qmdmjpeghttpsrc:5 traces the connection and every image; the
// errors the element posts are logged here too.
GST_DEBUG_CATEGORY_STATIC(qmd_mjpeg_http_src_debug);
#define GST_CAT_DEFAULT qmd_mjpeg_http_src_debug

// For connecting and for every read: a camera silent for longer is gone.
constexpr guint kTimeoutSeconds = 15;
// Several small frames per read when they queue up; big ones in few reads.
constexpr std::size_t kReadSize = 64 * 1024;
constexpr guint16 kDefaultPort = 80;

struct Session {
    // Set through the property from any thread; guarded by the object lock.
    std::string location;
    // Cancelled from the thread that stops the stream while the streaming
    // thread blocks in a read (GCancellable is thread-safe).
    gst::GObjectHandle<GCancellable> cancellable;

    // Used by start, stop and the streaming thread, which the base class
    // never runs at the same time.
    std::string host;
    guint16 port = kDefaultPort;
    std::string request;
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

enum { kPropertyLocation = 1 };

GstStaticPadTemplate srcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("image/jpeg"));

QmdMjpegHttpSrc* Self(gpointer object) { return reinterpret_cast<QmdMjpegHttpSrc*>(object); }

bool HasLineBreak(const char* text) { return text && std::strpbrk(text, "\r\n") != nullptr; }

// Splits the location into what the connection and the request need; false
// (with the element's error posted) for anything but a usable http:// address.
bool PrepareRequest(QmdMjpegHttpSrc* self, const std::string& location)
{
    Session& session = *self->session;
    gst::ErrorHandle error;
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
    std::string& request = session.request;
    request = "GET ";
    request += path && *path ? path : "/";
    if (query) {
        request += '?';
        request += query;
    }
    request += " HTTP/1.0\r\nHost: " + hostHeader + "\r\nUser-Agent: quisk-motion-detector\r\n";
    if (const char* user = g_uri_get_user(uri.get())) {
        const char* password = g_uri_get_password(uri.get());
        const std::string credentials = std::string(user) + ":" + (password ? password : "");
        gst::CharsHandle encoded{
            g_base64_encode(reinterpret_cast<const guchar*>(credentials.data()), credentials.size())};
        request += "Authorization: Basic ";
        request += encoded.get();
        request += "\r\n";
    }
    request += "Connection: close\r\n\r\n";
    return true;
}

gboolean Start(GstBaseSrc* base)
{
    QmdMjpegHttpSrc* self = Self(base);
    Session& session = *self->session;
    GST_OBJECT_LOCK(self);
    const std::string location = session.location;
    GST_OBJECT_UNLOCK(self);
    try {
        if (!PrepareRequest(self, location)) return FALSE;
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
    GOutputStream* output = g_io_stream_get_output_stream(G_IO_STREAM(session.connection.get()));
    if (!g_output_stream_write_all(output, session.request.data(), session.request.size(), nullptr,
                                   session.cancellable.get(), error.out())) {
        if (Cancelled(error)) return GST_FLOW_FLUSHING;
        GST_ELEMENT_ERROR(self, RESOURCE, WRITE, ("%s", error ? error->message : "Could not send the request"),
                          (nullptr));
        return GST_FLOW_ERROR;
    }
    GST_DEBUG_OBJECT(self, "connected to %s port %u, request sent", session.host.c_str(), session.port);
    return GST_FLOW_OK;
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
            *out = gst_buffer_new_memdup(part.data(), part.size());
            return GST_FLOW_OK;
        }
        case MultipartJpegParser::Outcome::Failed: ReportParserFailure(self); return GST_FLOW_ERROR;
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

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec)
{
    QmdMjpegHttpSrc* self = Self(object);
    if (id != kPropertyLocation) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
        return;
    }
    const char* location = g_value_get_string(value);
    GST_OBJECT_LOCK(self);
    self->session->location = location ? location : "";
    GST_OBJECT_UNLOCK(self);
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec)
{
    QmdMjpegHttpSrc* self = Self(object);
    if (id != kPropertyLocation) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
        return;
    }
    GST_OBJECT_LOCK(self);
    g_value_set_string(value, self->session->location.c_str());
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

    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(elementClass, &srcTemplate);
    gst_element_class_set_static_metadata(elementClass, "MJPEG over HTTP camera source", "Source/Network",
                                          "Reads the JPEG images of an MJPEG-over-HTTP camera",
                                          "Quisk Motion Detector");

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

bool RegisterMjpegHttpSource()
{
    static const bool registered = [] {
        gst::EnsureInitialized();
        return gst_element_register(nullptr, kMjpegHttpSourceName, GST_RANK_NONE, qmd_mjpeg_http_src_get_type()) ==
               TRUE;
    }();
    return registered;
}

}  // namespace qmd
