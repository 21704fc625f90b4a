#pragma once
// A file-open dialog that opens with the name of its last confirmed use and
// accepts a typed name of a file that does not exist: Qt's own dialog on
// every desktop.
#include <QString>

class QWidget;

namespace qmd {

class OpenFileDialog {
public:
    // filter: "Description|pattern;pattern" ("Dźwięk typu WAVE|*.wav").
    explicit OpenFileDialog(QString filter = {}) : filter_(std::move(filter)) {}

    // Modal; true when the user confirmed a name, which FileName() then gives.
    // A cancel leaves FileName() as it was.
    bool Execute(QWidget* parent);
    QString FileName() const { return fileName_; }
    void SetFileName(const QString& name) { fileName_ = name; }
    QString Filter() const { return filter_; }
    // The filter in Qt's form: "Description (*.wav)".
    QString QtFilter() const;

private:
    QString filter_;
    QString fileName_;
};

}  // namespace qmd
