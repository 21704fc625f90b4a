#pragma once
// TfmAutostart: the program list window. Its list box is the live list; the
// ProgramList it owns is kept equal to it for the frame thread.
#include "gui/plain_dialog.h"

#include "gui/open_file_dialog.h"
#include "react/core/program_list.h"

class QAction;
class QListWidget;
class QPushButton;

namespace qmd {

class TfmAutostart : public PlainDialog {
    Q_OBJECT
public:
    // `mark` is the main window's "Uruchom programy..." item. FormCreate runs
    // here: start_list.txt (in AppDir) is read once.
    explicit TfmAutostart(QAction* mark, QWidget* parent = nullptr);

    ProgramList& Programs() { return programs_; }
    std::vector<std::string> Entries() const;
    std::string ListPath() const;

    QListWidget* StartList = nullptr;
    QPushButton* Button1 = nullptr;  // "Dodaj program"
    QPushButton* Button2 = nullptr;  // "Usuń program"
    QPushButton* Button3 = nullptr;  // "OK"
    OpenFileDialog OpenProgram{"Programy|*"};

public slots:
    void FormCreate();
    void Button1Click();
    void Button2Click();
    void Button3Click();

protected:
private:
    void SetEntries(const std::vector<std::string>& entries);
    void PublishEntries();
    void UpdateMark();

    QAction* mark_;
    ProgramList programs_;
};

extern TfmAutostart* fmAutostart;

}  // namespace qmd
