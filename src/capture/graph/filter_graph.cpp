#include "capture/graph/filter_graph.h"

#include <algorithm>
#include <utility>

#include "capture/elements/mjpeg_http_source.h"
#include "capture/elements/register_elements.h"
#include "capture/graph/capture_log.h"
#include "capture/graph/check_graph_result.h"
#include "capture/graph/filter.h"
#include "capture/graph/graph_bus_reader.h"
#include "capture/sources/graph_elements.h"
#include "capture/sources/jpeg_decoder.h"
#include "capture/graph/render_chain.h"
#include "capture/graph/skipped_images.h"
#include "capture/grabber/sample_grabber.h"
#include "capture/graph/video_renderer.h"
#include "common/caught_exception.h"
#include "common/quisk_error.h"
#include "gst/init.h"

namespace qmd {

namespace {

// The longest the GUI thread waits for a state change to complete. The
// pipeline's threads never wait for the GUI thread or a frame handler, so
// only a device or a network that does not answer can use it up.
constexpr GstClockTime kStateChangeBound = 5 * GST_SECOND;

// A bin marks its state change failed before it passes the element's error
// on to the bus; this long the reason may still be on its way.
constexpr GstClockTime kFailureReasonBound = 500 * GST_MSECOND;

std::string ErrorText(GstMessage* message)
{
    gst::ErrorHandle error;
    gst::CharsHandle debug;
    gst_message_parse_error(message, error.out(), debug.out());
    // GStreamer's own sources (souphttpsrc for https://, rtspsrc) say only
    // "Unauthorized"; in our words the user learns what to fix, and the
    // camera watch knows to ask a camera that may lock the account rarely.
    if (g_error_matches(error.get(), GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_AUTHORIZED))
        return kRefusedCredentialsMessage;
    return error && error->message ? error->message : "";
}

std::uint32_t ErrorCode(GstMessage* message)
{
    gst::ErrorHandle error;
    gst_message_parse_error(message, error.out(), nullptr);
    return error && error->domain == GST_RESOURCE_ERROR ? kResultDeviceError : kResultFailed;
}

// Whether a message comes from one of the elements this program registers.
bool FromOurElement(GstMessage* message)
{
    GstObject* source = GST_MESSAGE_SRC(message);
    if (!source || !GST_IS_ELEMENT(source)) return false;
    GstElementFactory* factory = gst_element_get_factory(GST_ELEMENT(source));
    return factory && IsOwnElementFactory(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)));
}

// The state and the pending one, read under the element's lock (an
// asynchronous change completes on a streaming thread).
std::pair<GstState, GstState> CurrentState(GstElement* element)
{
    GstState current = GST_STATE_VOID_PENDING;
    GstState pending = GST_STATE_VOID_PENDING;
    gst_element_get_state(element, &current, &pending, 0);
    return {current, pending};
}

}  // namespace

TFilterGraph::TFilterGraph(QObject* parent) : QObject(parent)
{
    gst::EnsureInitialized();
    // Before any graph is built, so that decodebin chooses our decoder for MJPEG.
    PreferTurboJpegDecoder();
}

TFilterGraph::~TFilterGraph()
{
    try {
        SetActive(false);
    } catch (...) {
        qCWarning(lcCapture, "releasing the graph: %s", CaughtExceptionText().c_str());
    }
    for (IGraphMember* member : members_) member->graph_ = nullptr;
}

bool TFilterGraph::MeantToRun() const
{
    if (!pipeline_) return false;
    GST_OBJECT_LOCK(pipeline_.get());
    const bool playing = GST_STATE_TARGET(pipeline_.get()) == GST_STATE_PLAYING;
    GST_OBJECT_UNLOCK(pipeline_.get());
    return playing;
}

void TFilterGraph::SetActive(bool active)
{
    if (active == Active()) return;
    if (active)
        Activate();
    else
        Deactivate();
}

void TFilterGraph::Activate()
{
    pipeline_ = gst::NewPipeline();
    gst::BusHandle bus{gst_pipeline_get_bus(GST_PIPELINE(pipeline_.get()))};
    busReader_ = std::make_unique<GraphBusReader>(bus.get(), [this](GstMessage* m) { OnBusMessage(m); });
    errorReported_ = false;
    for (IGraphMember* member : members_) AddMemberElement(member);
    SendControl(TGraphControl::ActivationChanged, true);
}

void TFilterGraph::Deactivate()
{
    SendControl(TGraphControl::ActivationChanged, false);
    // GStreamer needs the whole pipeline down before elements leave it; this
    // also releases a sink that holds a streaming thread in preroll, which
    // stopping one member after another could wait for.
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    for (IGraphMember* member : members_) RemoveMemberElement(member);
    GraphBusReader::Retire(std::move(busReader_));
    branches_.clear();
    detaching_.clear();
    pipeline_.reset();
}

void TFilterGraph::AttachMember(IGraphMember* member)
{
    members_.push_back(member);
    if (Active()) AddMemberElement(member);
}

void TFilterGraph::DetachMember(IGraphMember* member)
{
    if (Active()) RemoveMemberElement(member);
    ForgetMember(member);
}

void TFilterGraph::ForgetMember(IGraphMember* member)
{
    members_.erase(std::remove(members_.begin(), members_.end(), member), members_.end());
}

void TFilterGraph::AddMemberElement(IGraphMember* member)
{
    member->NotifyMember(TMemberNotify::Adding);
    if (GstElement* element = member->MemberFilter()) {
        gst_bin_add(GST_BIN(pipeline_.get()), element);
        member->NotifyMember(TMemberNotify::Added);
        gst_element_sync_state_with_parent(element);
        return;
    }
    member->NotifyMember(TMemberNotify::Added);
}

void TFilterGraph::RemoveMemberElement(IGraphMember* member)
{
    member->NotifyMember(TMemberNotify::Removing);
    if (GstElement* element = member->MemberFilter()) {
        gst::ElementHandle keep = gst::NewRef(element);
        gst_element_set_state(element, GST_STATE_NULL);
        if (GST_OBJECT_PARENT(element) == GST_OBJECT(pipeline_.get()))
            gst_bin_remove(GST_BIN(pipeline_.get()), element);
    }
    member->NotifyMember(TMemberNotify::Removed);
}

bool TFilterGraph::IsMemberElement(GstElement* element) const
{
    return std::any_of(members_.begin(), members_.end(),
                       [element](IGraphMember* member) { return member->MemberFilter() == element; });
}

void TFilterGraph::SendControl(TGraphControl notice, bool on)
{
    for (IGraphMember* member : members_) member->ControlNotice(notice, on);
}

GstStateChangeReturn TFilterGraph::ChangeState(GstState target, AsyncChange async)
{
    GstStateChangeReturn result = gst_element_set_state(pipeline_.get(), target);
    if (result == GST_STATE_CHANGE_ASYNC && async == AsyncChange::WaitBounded)
        result = gst_element_get_state(pipeline_.get(), nullptr, nullptr, kStateChangeBound);
    // ASYNC after the bound: still completing in the background.
    if (result != GST_STATE_CHANGE_FAILURE) return result;

    // The pipeline says why on its bus; that text is the message, and the
    // failure counts as reported so the bus reader does not show it again.
    std::uint32_t code = kResultFailed;
    std::string text = GraphResultText(code);
    if (gst::MessageHandle error{
            gst_bus_timed_pop_filtered(busReader_->Bus(), kFailureReasonBound, GST_MESSAGE_ERROR)}) {
        code = ErrorCode(error.get());
        if (std::string own = ErrorText(error.get()); !own.empty()) text = own;
    }
    errorReported_ = true;
    throw EDirectShowException(code, text);
}

bool TFilterGraph::RunGraph()
{
    if (!Active()) return false;
    SendControl(TGraphControl::Play, false);
    // A live source has nothing to preroll (NO_PREROLL): its sinks complete
    // the change to playing with the first frame, whenever the camera sends
    // it, and the GUI does not wait for that. Other sources preroll first.
    // A live graph that was paused (the memory reset, a restore from the
    // tray) says so in its last result; a camera that has not sent a frame
    // yet would otherwise hold the GUI for the whole bound.
    bool live = false;
    if (CurrentState(pipeline_.get()).first < GST_STATE_PAUSED)
        live = ChangeState(GST_STATE_PAUSED) == GST_STATE_CHANGE_NO_PREROLL;
    else
        live = gst_element_get_state(pipeline_.get(), nullptr, nullptr, 0) == GST_STATE_CHANGE_NO_PREROLL;
    ChangeState(GST_STATE_PLAYING, live ? AsyncChange::LeaveRunning : AsyncChange::WaitBounded);
    return true;
}

bool TFilterGraph::PauseGraph()
{
    if (!Active()) return false;
    SendControl(TGraphControl::Pause, false);
    return ChangeState(GST_STATE_PAUSED) == GST_STATE_CHANGE_SUCCESS;
}

bool TFilterGraph::StopGraph()
{
    if (!Active()) return false;
    SendControl(TGraphControl::Stop, false);
    return ChangeState(GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS;
}

void TFilterGraph::StripGraph()
{
    if (!Active()) return;
    StopGraph();
    UnlinkAndRemoveInserted();
}

void TFilterGraph::UnlinkAndRemoveInserted()
{
    GstBin* bin = GST_BIN(pipeline_.get());
    const auto children = gst::Children(bin);
    for (const auto& element : children) {
        for (const auto& pad : gst::Pads(element.get())) {
            if (GST_PAD_DIRECTION(pad.get()) != GST_PAD_SRC) continue;
            gst::PadHandle peer{gst_pad_get_peer(pad.get())};
            if (peer && !gst_pad_unlink(pad.get(), peer.get())) CheckGraphResult(kResultCannotLink);
        }
    }
    for (const auto& element : children) {
        if (IsMemberElement(element.get())) continue;
        gst_element_set_state(element.get(), GST_STATE_NULL);
        if (!gst_bin_remove(bin, element.get())) CheckGraphResult(kResultCannotLink);
    }
    // The consumers went with the branch point.
    branches_.clear();
    detaching_.clear();
}

void TFilterGraph::RenderStream(TFilter* source, TSampleGrabber* grabber, TVideoRenderer* renderer)
{
    if (!Active() || !source || !grabber || !renderer || !source->MemberFilter() || !grabber->MemberFilter() ||
        !renderer->MemberFilter())
        throw QuiskError("Interface not supported");
    errorReported_ = false;

    gst::PadHandle sourcePad{gst_element_get_static_pad(source->MemberFilter(), "src")};
    if (!sourcePad) return;
    if (gst_pad_is_linked(sourcePad.get())) {
        // Connected already (the format command renders again after a stop):
        // while the graph is not streaming, rebuild the converters for the
        // format the source now has; a streaming graph stays as it is.
        const auto [current, pending] = CurrentState(pipeline_.get());
        if (current > GST_STATE_READY || pending > GST_STATE_READY) return;
        UnlinkAndRemoveInserted();
    }
    // A device tells its real formats once it is open.
    if (CurrentState(pipeline_.get()).first == GST_STATE_NULL) gst_element_set_state(pipeline_.get(), GST_STATE_READY);

    LinkThroughConverters(GST_BIN(pipeline_.get()), sourcePad.get(), grabber->MemberFilter());
    gst_element_link(grabber->MemberFilter(), renderer->MemberFilter());
    // With GST_DEBUG_DUMP_DOT_DIR set, the graph can be inspected as built.
    GST_DEBUG_BIN_TO_DOT_FILE(GST_BIN(pipeline_.get()), GST_DEBUG_GRAPH_SHOW_ALL, "FilterGraph");
    emit StreamRendered();
}

int TFilterGraph::AttachConsumer(gst::ElementHandle consumer)
{
    if (!Active() || !consumer) return 0;
    std::optional<StreamBranch> branch = LinkStreamBranch(GST_BIN(pipeline_.get()), std::move(consumer));
    if (!branch) return 0;
    branches_.emplace(++lastBranchId_, std::move(*branch));
    return lastBranchId_;
}

void TFilterGraph::DetachConsumer(int id)
{
    const auto found = branches_.find(id);
    if (found == branches_.end()) return;
    UnlinkStreamBranchWhenIdle(found->second, id);
    detaching_.insert(branches_.extract(found));
}

void TFilterGraph::OnBusMessage(GstMessage* message)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_APPLICATION:
        if (const std::optional<int> id = UnlinkedBranchId(message)) {
            if (auto node = detaching_.extract(*id); !node.empty() && pipeline_)
                RemoveStreamBranch(GST_BIN(pipeline_.get()), node.mapped());
        }
        return;
    case GST_MESSAGE_ERROR:
        if (errorReported_) return;
        errorReported_ = true;
        emit GraphError(QString::fromStdString(EDirectShowException(ErrorCode(message), ErrorText(message)).what()));
        return;
    case GST_MESSAGE_WARNING: {
        // Our own elements say on the bus what they skipped; standard error
        // hears it, images skipped at most once a minute. Other elements'
        // warnings stay in GStreamer's debug log.
        if (!FromOurElement(message)) return;
        gst::ErrorHandle warning;
        gst_message_parse_warning(message, warning.out(), nullptr);
        if (!warning || !warning->message) return;
        if (g_error_matches(warning.get(), GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE))
            ReportSkippedImage(warning->message);
        else
            qCWarning(lcCapture, "%s", warning->message);
        return;
    }
    case GST_MESSAGE_LATENCY:
        if (pipeline_) gst_bin_recalculate_latency(GST_BIN(pipeline_.get()));
        return;
    case GST_MESSAGE_CLOCK_LOST:
        // The usual recovery: a new clock is chosen on the way back to playing.
        if (pipeline_ && CurrentState(pipeline_.get()).first == GST_STATE_PLAYING) {
            gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED);
            gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING);
        }
        return;
    default: return;
    }
}

}  // namespace qmd
