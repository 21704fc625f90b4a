#pragma once
// TfmTrybPracy: the power action window. The selected radio button is the
// live power index that the reaction sequence reads.
#include "base/settings_keys.h"
#include "gui/plain_dialog.h"

#include <atomic>

class QAction;
class QButtonGroup;
class QGroupBox;
class QPushButton;

namespace qmd {

class TfmTrybPracy : public PlainDialog {
    Q_OBJECT
public:
    // `mark` is the main window's "Przełącz tryb pracy komputera..." item.
    // FormCreate runs here: the stored choice is read once.
    explicit TfmTrybPracy(QAction* mark, QWidget* parent = nullptr);

    // -1 (no selection) .. 5; read from any thread.
    std::atomic<int>& LiveIndex() { return liveIndex_; }
    int ItemIndex() const { return liveIndex_.load(); }
    void SetItemIndex(int index);  // -1 for anything outside -1 .. 5

    QGroupBox* tryb = nullptr;
    QButtonGroup* trybButtons = nullptr;
    QPushButton* Button1 = nullptr;  // "OK"

    static int BoundIndex(int stored);

public slots:
    void FormCreate();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QAction* mark_;
    // Until FormCreate has read the stored choice: its default.
    std::atomic<int> liveIndex_{keys::PowerAction.Default};
};

extern TfmTrybPracy* fmTrybPracy;

}  // namespace qmd
