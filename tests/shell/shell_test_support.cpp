#include "shell_test_support.h"

#include <QApplication>
#include <QMessageBox>

#include <gst/gst.h>

#include <cstdlib>
#include <filesystem>

#include "base/app_dir.h"
#include "capture/grabber/sample_grabber.h"
#include "gst/handles.h"

namespace qmd::test {

void MakeChangingClip(const std::string& path, int frames, int width, int height)
{
    const std::string description = "videotestsrc num-buffers=" + std::to_string(frames) +
                                    " pattern=snow ! video/x-raw,format=BGR,width=" + std::to_string(width) +
                                    ",height=" + std::to_string(height) +
                                    ",framerate=30/1 ! avimux ! filesink location=\"" + path + "\"";
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    ASSERT_NE(pipeline, nullptr) << (error ? error->message : "");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message = gst_bus_timed_pop_filtered(bus, 20 * GST_SECOND,
                                                     static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool finished = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    if (message) gst_message_unref(message);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    ASSERT_TRUE(finished) << "clip not written: " << path;
}

ModalAnswerer::ModalAnswerer(std::function<void(QWidget*)> answer) : answer_(std::move(answer))
{
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == last_) return;
        last_ = modal;
        ++answered_;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) texts_ << box->text();
        answer_(modal);
    });
    timer_.start(10);
}

ModalAnswerer::~ModalAnswerer() { timer_.stop(); }

std::unique_ptr<ModalAnswerer> AcceptMessageBoxes()
{
    return std::make_unique<ModalAnswerer>([](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            box->accept();
        else
            modal->close();
    });
}

void MainFormTest::SetUp()
{
    SetAppDir(dir_.Path().string());
    ::unsetenv("QUISK_EXTRA_SOURCES");
    // The autostart entry of these windows lives in the test's own directory.
    ::setenv("XDG_CONFIG_HOME", dir_.File("config").c_str(), 1);
}

void MainFormTest::TearDown()
{
    if (form_) {
        form_->SampleGrabber->Shutdown();
        form_.reset();
    }
    ::unsetenv("QUISK_EXTRA_SOURCES");
}

void MainFormTest::WriteSettings(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    WriteFileBytes(SettingsPath(), text);
}

std::string MainFormTest::SettingsText() const { return ReadFileBytes(SettingsPath()); }

bool MainFormTest::SettingsExist() const { return std::filesystem::exists(SettingsPath()); }

void MainFormTest::UseClips(int count, int frames)
{
    std::string list;
    for (int i = 0; i < count; ++i) {
        const std::string path = dir_.File("clip" + std::to_string(i) + ".avi");
        MakeChangingClip(path, frames);
        clips_.push_back(path);
        list += (i ? "|" : "") + path;
    }
    ::setenv("QUISK_EXTRA_SOURCES", list.c_str(), 1);
}

TfmMainForm* MainFormTest::Start(const QString& firstArgument, bool trayAvailable)
{
    form_ = std::make_unique<TfmMainForm>(TfmMainForm::Options{
        .FirstArgument = firstArgument,
        .PlayEventSound = [this](const QString& event) { sounds_ << event; },
        .TrayAvailable = [trayAvailable] { return trayAvailable; },
    });
    return form_.get();
}

bool MainFormTest::CloseForm()
{
    bool closed = false;
    QObject::connect(form_.get(), &TfmMainForm::Closed, [&closed] { closed = true; });
    form_->close();
    return closed;
}

}  // namespace qmd::test
