#pragma once
// TfmZmienRozdzielczosc, the "Zmień rozdzielczość" window: lists the media
// types the open capture device offers and applies the chosen one to it.
//
// The main window creates it once at start-up (fmZmienRozdzielczosc), hands
// it its `Filter` with SetFilter and its error report with SetErrorReport,
// and shows it modally (exec()) from the format command with the graph
// stopped. The window keeps no pointer it does not get from there.
#include <QDialog>

#include <exception>
#include <functional>
#include <memory>

class QListWidget;
class QPushButton;
class QShowEvent;

namespace qmd {

class TEnumMediaType;
class TFilter;

class TfmZmienRozdzielczosc : public QDialog {
    Q_OBJECT
public:
    // Receives every error the window's handlers end with (the application's
    // error report); without one, errors go to the debug output.
    using ErrorReport = std::function<void(const std::exception& error)>;

    explicit TfmZmienRozdzielczosc(QWidget* parent = nullptr);
    ~TfmZmienRozdzielczosc() override;

    // The main window's device filter member; not owned, may be null.
    void SetFilter(TFilter* filter) { Filter = filter; }
    void SetErrorReport(ErrorReport report) { errorReport_ = std::move(report); }

    QListWidget* Formaty = nullptr;
    QPushButton* Button1 = nullptr;

    // The offered media types while the window is open; null otherwise.
    const TEnumMediaType* FormatEnum() const { return formatEnum_.get(); }

    // The handlers; they throw, and the window's events report what they throw.
    void FormShow();
    void Button1Click();
    void FormClose();

public slots:
    // Every way of closing (OK, the close box, Escape) ends here.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    template <typename Handler>
    void Run(Handler&& handler) noexcept;
    void Report(const std::exception& error) noexcept;

    TFilter* Filter = nullptr;
    std::unique_ptr<TEnumMediaType> formatEnum_;
    ErrorReport errorReport_;
};

// The one format window of the program, from its creation to its destruction.
extern TfmZmienRozdzielczosc* fmZmienRozdzielczosc;

}  // namespace qmd
