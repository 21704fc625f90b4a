#include "capture/format_window/format_window.h"

#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>

#include "capture/graph/capture_log.h"
#include "capture/graph/filter.h"
#include "capture/formats/enum_media_type.h"
#include "common/quisk_error.h"

namespace qmd {

TfmZmienRozdzielczosc* fmZmienRozdzielczosc = nullptr;

namespace {

// The designed frame is 445 × 247 at 249, 196; the children are laid out in
// the client area that frame leaves.
constexpr QPoint kDesignedPosition(249, 196);
constexpr QSize kClientSize(437, 213);
constexpr QRect kFormatyBounds(8, 8, 417, 169);
constexpr QRect kButton1Bounds(158, 182, 121, 27);

// The device filter as a source one can ask for its formats; without a bound
// device there is nothing to ask.
TFilter& DeviceFilterOf(TFilter* filter)
{
    if (!filter || !filter->DeviceElement()) throw QuiskError("Interface not supported");
    return *filter;
}

}  // namespace

TfmZmienRozdzielczosc::TfmZmienRozdzielczosc(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmZmienRozdzielczosc"));
    setWindowTitle(QStringLiteral("Zmień rozdzielczość"));
    move(kDesignedPosition);
    resize(kClientSize);

    Formaty = new QListWidget(this);
    Formaty->setObjectName(QStringLiteral("Formaty"));
    Formaty->setGeometry(kFormatyBounds);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(kButton1Bounds);
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, [this] { Run([this] { Button1Click(); }); });

    setTabOrder(Formaty, Button1);

    if (!fmZmienRozdzielczosc) fmZmienRozdzielczosc = this;
}

TfmZmienRozdzielczosc::~TfmZmienRozdzielczosc()
{
    if (fmZmienRozdzielczosc == this) fmZmienRozdzielczosc = nullptr;
}

template <typename Handler>
void TfmZmienRozdzielczosc::Run(Handler&& handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& error) {
        Report(error);
    } catch (...) {
        Report(QuiskError("Unknown error"));
    }
}

void TfmZmienRozdzielczosc::Report(const std::exception& error) noexcept
{
    if (errorReport_) {
        try {
            errorReport_(error);
            return;
        } catch (...) {
            // A report that fails itself still leaves the message below.
        }
    }
    qCWarning(lcCapture, "%s", error.what());
}

void TfmZmienRozdzielczosc::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) Run([this] { FormShow(); });
}

void TfmZmienRozdzielczosc::done(int result)
{
    Run([this] { FormClose(); });
    QDialog::done(result);
}

void TfmZmienRozdzielczosc::FormShow()
{
    if (!formatEnum_) formatEnum_ = std::make_unique<TEnumMediaType>();
    // Lines of an earlier showing may describe another device's types; a
    // showing that fails must not leave them to be chosen.
    Formaty->clear();

    TFilter& filter = DeviceFilterOf(Filter);
    const gst::CapsHandle offered = filter.OfferedCaps();
    formatEnum_->FormatList(offered.get());

    QStringList lines;
    lines.reserve(formatEnum_->Count());
    for (int i = 0; i < formatEnum_->Count(); ++i)
        lines.append(QString::fromStdString(formatEnum_->MediaDescription(i)));
    Formaty->addItems(lines);
}

void TfmZmienRozdzielczosc::Button1Click()
{
    TFilter& filter = DeviceFilterOf(Filter);
    const QList<QListWidgetItem*> selected = Formaty->selectedItems();
    if (!selected.isEmpty()) {
        // Lines and entries are filled together while the window is open.
        const TEnumMediaType none;
        const TEnumMediaType& offered = formatEnum_ ? *formatEnum_ : none;
        filter.SetFormat(offered.Items(Formaty->row(selected.first())).Caps());
    }
    accept();
}

void TfmZmienRozdzielczosc::FormClose() { formatEnum_.reset(); }

}  // namespace qmd
