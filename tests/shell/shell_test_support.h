#pragma once
// Helpers for the main window's tests: a window started on a prepared
// settings file in a temporary AppDir, video clips made on the spot, and an
// answerer for the modal dialogs a command opens.
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shell/main_form.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

class QWidget;

namespace qmd::test {

// Writes an uncompressed BGR AVI clip of `frames` frames of videotestsrc's
// snow: every frame differs from the one before it nearly everywhere.
void MakeChangingClip(const std::string& path, int frames, int width = 64, int height = 48);

// Polls for a modal widget and hands each new one to `answer`, which must
// close it. Stops with the object.
class ModalAnswerer {
public:
    explicit ModalAnswerer(std::function<void(QWidget* modal)> answer);
    ~ModalAnswerer();
    int Answered() const { return answered_; }
    const QStringList& Texts() const { return texts_; }  // message box texts

private:
    QTimer timer_;
    std::function<void(QWidget*)> answer_;
    QPointer<QWidget> last_;
    int answered_ = 0;
    QStringList texts_;
};

// Closes every message box with OK and records its text.
std::unique_ptr<ModalAnswerer> AcceptMessageBoxes();

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // ustawienia.ini from lines joined with CR LF.
    void WriteSettings(const std::vector<std::string>& lines);
    std::string SettingsPath() const { return dir_.File("ustawienia.ini"); }
    std::string SettingsText() const;
    bool SettingsExist() const;
    // The sources "Urządzenia" lists: clips in the temporary directory.
    void UseClips(int count, int frames = 300);

    TfmMainForm* Start(const QString& firstArgument = {}, bool trayAvailable = false);
    // Closes the window; true when the close was accepted.
    bool CloseForm();

    TempDir dir_;
    std::unique_ptr<TfmMainForm> form_;
    QStringList sounds_;
    std::vector<std::string> clips_;
};

}  // namespace qmd::test
