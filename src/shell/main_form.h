#pragma once
// TfmMainForm: the program's main window. The live picture fills its upper
// part, the sensitivity label and slider sit under it, and the menu bar holds
// "Urządzenia", "Opcje" and "Pomoc". The window also owns the capture graph
// with its members and the frame handler that runs the detection cycle.
//
// The implementation is split by topic:
//   main_form.cpp            construction, layout, menu wiring helpers
//   main_form_menu.cpp       the menu tree and the reaction items' switches
//   main_form_startup.cpp    FormCreate, FormCloseQuery, FormClose
//   main_form_devices.cpp    the device menu and the device switch
//   main_form_camera_return.cpp  a lost camera: released, reported, reopened
//   main_form_detection.cpp  the frame handler, slider, delay dialog, reset
//   main_form_detection_rules.cpp  the areas to ignore and the detection settings
//   main_form_options.cpp    "Opcje" caption refresh and the stored options
//   main_form_reactions.cpp  the reaction configuration commands
//   main_form_help.cpp       the guide and the About window of "Pomoc"
#include <QMainWindow>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "base/settings_keys.h"
#include "capture/sources/moniker.h"
#include "detect/detection.h"
#include "gui/open_file_dialog.h"
#include "react/core/reaction_switches.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;

namespace qmd {

class CameraMonitor;
class SettingsFile;
class CameraWatch;
struct DeviceEntry;
class SelectionSlider;
class TFilter;
class TFilterGraph;
class TSampleGrabber;
class TSysDevEnum;
class TVideoWindow;
class TrayController;
class EdgeSnapper;

class TfmMainForm : public QMainWindow {
    Q_OBJECT
public:
    // The area under the menu bar as designed; anchors refer to this size.
    static constexpr int kDesignClientWidth = 307;
    static constexpr int kDesignClientHeight = 285;
    static constexpr int kDesignLeft = 480;
    static constexpr int kDesignTop = 266;

    struct Options {
        // The program's first command-line argument ("-t" starts in the tray).
        QString FirstArgument;
        // Plays a desktop sound theme event for the tray; nothing when empty.
        std::function<void(const QString& themeEvent)> PlayEventSound;
        // Whether a tray host runs; Qt's own answer when empty.
        std::function<bool()> TrayAvailable;
    };

    // Builds the window and runs FormCreate. fmMainForm is this window from
    // the first line on, since FormCreate places the window through it.
    explicit TfmMainForm(Options options = {}, QWidget* parent = nullptr);
    ~TfmMainForm() override;

    // --- Components, in the designer's order ---
    TFilterGraph* FilterGraph = nullptr;
    TVideoWindow* VideoWindow = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QMenu* Devices = nullptr;
    // After the sources in "Urządzenia": the network cameras the user adds.
    QAction* N4 = nullptr;
    QMenu* Zmiekamersieciow1 = nullptr;  // "Zmień kamerę sieciową", one entry per saved camera
    QMenu* Usukamersieciow1 = nullptr;   // "Usuń kamerę sieciową", likewise
    QAction* N5 = nullptr;
    QAction* Dodajkamersieciow1 = nullptr;  // "Dodaj kamerę sieciową…"
    TFilter* Filter = nullptr;
    TSampleGrabber* SampleGrabber = nullptr;
    SelectionSlider* TrackBar1 = nullptr;
    QLabel* Label1 = nullptr;
    QMenu* Opcje1 = nullptr;
    QMenu* Gdywykryjeszruch1 = nullptr;
    QAction* Uruchomprogramy1 = nullptr;
    QAction* Zrbzdjcie1 = nullptr;
    QAction* Uruchomalarm1 = nullptr;
    QAction* Odtwrzplikdwikowy1 = nullptr;
    QAction* Wywietlinformacj1 = nullptr;
    QAction* Przecztrybpracykomputera1 = nullptr;
    QAction* Uruchamiajprzystarciesystemu1 = nullptr;
    QAction* Opnieniepowczeniuwykrywania1 = nullptr;
    QAction* N1 = nullptr;
    OpenFileDialog OpenSound{QStringLiteral("Dźwięk typu WAVE|*.wav")};
    QAction* Resetujpami1 = nullptr;
    QAction* Obszarybezwykrywania1 = nullptr;
    QAction* Ustawieniawykrywania1 = nullptr;
    QAction* MinimalizujdoTraya1 = nullptr;
    QAction* Dopiszdodziennika1 = nullptr;
    QAction* Pokapowiadomienie1 = nullptr;
    QAction* N2 = nullptr;
    QAction* Pokadziennik1 = nullptr;
    QAction* Zapamitujostatniowybraneurzdzenie1 = nullptr;
    QAction* Zapamitajpozycjokna1 = nullptr;
    QAction* N3 = nullptr;
    QAction* Zmierozdzielczo1 = nullptr;
    QMenu* Pomoc1 = nullptr;
    QAction* Jakkorzystazprogramu1 = nullptr;
    QAction* Oprogramie1 = nullptr;

    // --- Handlers, in the designer's order. Menu commands throw on failure;
    // the menu wiring shows the error through the application's error report.
    void FormCreate();
    // The grabber's OnBuffer: runs on the grabber's frame thread.
    void SampleGrabberBuffer(TSampleGrabber* sender, double SampleTime, const std::uint8_t* pBuffer, int BufferLen);
    void TrackBar1Change();
    void Uruchomprogramy1Click();
    void Zrbzdjcie1Click();
    void Uruchomalarm1Click();
    void Opnieniepowczeniuwykrywania1Click();
    void FormClose();
    void Opcje1Click();
    void Odtwrzplikdwikowy1Click();
    void Wywietlinformacj1Click();
    void Przecztrybpracykomputera1Click();
    void Resetujpami1Click();
    void FormCloseQuery(bool& CanClose);
    void Uruchamiajprzystarciesystemu1Click();
    void MinimalizujdoTraya1Click();
    void Dopiszdodziennika1Click();
    void Pokapowiadomienie1Click();
    void Pokadziennik1Click();
    void Zapamitujostatniowybraneurzdzenie1Click();
    void Zapamitajpozycjokna1Click();
    void Zmierozdzielczo1Click();
    void Dodajkamersieciow1Click();
    void ChangeNetworkCamera(const QString& name);
    void RemoveNetworkCamera(const QString& name);
    void Obszarybezwykrywania1Click();
    void Ustawieniawykrywania1Click();
    void Jakkorzystazprogramu1Click();
    void Oprogramie1Click();

    // Ends the program for a quit signal or the end of the session: the
    // capture is released and the settings are written as a close does, but
    // nothing refuses it and nobody is asked, since nobody may be there to
    // answer: a failure goes to standard error. Emits Closed; runs once.
    void CloseForSessionEnd() noexcept;

    // The click handler that every entry of "Urządzenia" shares; the entry's
    // data() is its position in the device list.
    void DeviceSwitch(QAction* sender);

    // --- State shared with the frame thread and the reaction sequence ---
    DetectionState Detection;
    ReactionSwitches Switches;
    int LastDevice = keys::LastDevice.Default;  // until FormCreate reads it
    std::unique_ptr<TSysDevEnum> DeviceEnum;

    // What runs when a cycle finds motion; null runs nothing. Set once the
    // windows the sequence reads exist (after this one).
    void SetReactions(ReactionSequence* reactions) { reactions_.store(reactions); }

    TrayController* Tray() const { return tray_; }
    // Path of the settings file in AppDir.
    static std::string SettingsPath();

signals:
    // A close has been accepted: the capture is released and the settings
    // are written. The program ends its event loop on this.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildComponents();
    void BuildLayout();
    void BuildMenu();
    void WireReactionSwitches();
    QAction* AddToggleItem(QMenu* menu, const QString& caption, void (TfmMainForm::*handler)());
    QAction* AddProgramMarkedItem(QMenu* menu, const QString& caption, void (TfmMainForm::*handler)());
    QAction* AddCommandItem(QMenu* menu, const QString& caption, void (TfmMainForm::*handler)());
    void RunMenuCommand(void (TfmMainForm::*handler)());
    void BuildDeviceMenu();
    QAction* AddDeviceEntry(int position, const DeviceEntry& device);
    // The entries of "Urządzenia" that are sources, in list order.
    QList<QAction*> deviceEntries_;
    void RefreshDeviceMenu();
    void BuildNetworkCameraCommands();
    void ListNetworkCamerasIn(QMenu* menu, void (TfmMainForm::*command)(const QString& name));
    void SwitchToSavedCamera(const QString& name);
    void AwaitRememberedCamera();
    void ForgetRememberedSourceUnlessCamera();
    void ReviewListedCameras();
    void OnCameraListed(const VideoSource& camera, bool added);
    void CopyLatestFrameIntoSlots();
    void WatchCamera();
    void OnCameraLost(const QString& message);
    void ReopenLostCamera();
    void ForgetFramesOfLostCamera();
    void ApplyStoredSensitivity(int storedPosition);
    void LoadDetectionRules(const SettingsFile& settings);
    void SyncSwitchesWithMarks();

    Options options_;
    // FormCloseQuery runs so far: a command that waits in a modal window
    // sees from this that a close released the capture meanwhile.
    int closeQueries_ = 0;
    bool closed_ = false;  // Closed was emitted
    std::unique_ptr<TFilter> filterOwner_;
    std::unique_ptr<TSampleGrabber> grabberOwner_;
    std::atomic<ReactionSequence*> reactions_{nullptr};
    TrayController* tray_ = nullptr;
    CameraWatch* cameraWatch_ = nullptr;
    CameraMonitor* cameraMonitor_ = nullptr;
    bool menuRefreshDue_ = false;
    // The remembered camera, not there at start-up, opened when it comes.
    std::optional<VideoSource> awaitedCamera_;
    bool lossBoxOpen_ = false;  // a lost camera's box waits for OK
    EdgeSnapper* snapper_ = nullptr;
};

// The main window, valid from the start of its construction.
extern TfmMainForm* fmMainForm;

}  // namespace qmd
