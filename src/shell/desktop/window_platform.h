#pragma once
// Which window system the program's windows go to. Putting the window back
// where the user left it, snapping it to the screen's edges and the
// preview's own drawing path need X11: a Wayland client neither learns nor
// chooses where its window is. So where the user leaves the choice to Qt (no
// QT_QPA_PLATFORM) and an X display answers, as Xwayland does on a Wayland
// desktop, Qt is sent there. Otherwise Qt chooses as always, and on Wayland
// the program does without window positions.
//
// Usage in main(), around the application's construction only:
//
//     qmd::X11WhereReachable x11;          // before QApplication
//     QApplication application(argc, argv);
//     x11.Forget();                        // programs we start choose for themselves
namespace qmd {

class X11WhereReachable {
public:
    X11WhereReachable();
    ~X11WhereReachable();
    X11WhereReachable(const X11WhereReachable&) = delete;
    X11WhereReachable& operator=(const X11WhereReachable&) = delete;

    // Takes back what the constructor set. Qt reads the platform once, while
    // the application is made; the programs that the reactions start
    // inherit our environment and keep the session's own choice.
    void Forget();

private:
    bool setByUs_ = false;
};

// Whether the window system tells the program where its windows are. On
// Wayland a position read back is always 0, 0 and must not be stored.
bool WindowPositionsKnown();

}  // namespace qmd
