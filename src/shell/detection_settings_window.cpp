#include "shell/detection_settings_window.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "gui/ok_cancel_row.h"

namespace qmd {
namespace {

QDoubleSpinBox* PercentBox(std::int32_t hundredths, QWidget* parent)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(0, 100);
    box->setDecimals(2);
    box->setSingleStep(0.1);
    box->setSuffix(QStringLiteral(" %"));
    box->setValue(std::clamp(hundredths, 0, 10000) / 100.0);
    return box;
}

QLabel* Explanation(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

std::int32_t Hundredths(const QDoubleSpinBox* box) { return static_cast<std::int32_t>(std::lround(box->value() * 100)); }

}  // namespace

DetectionSettingsWindow::DetectionSettingsWindow(std::int32_t smallestArea, std::int32_t lightChange, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("fmUstawieniaWykrywania"));
    setWindowTitle(QStringLiteral("Ustawienia wykrywania"));
    smallestArea_ = PercentBox(smallestArea, this);
    smallestArea_->setObjectName(QStringLiteral("NajmniejszyObszar"));
    lightChange_ = PercentBox(lightChange, this);
    lightChange_->setObjectName(QStringLiteral("ZmianaOswietlenia"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Najmniejszy obszar ruchu:"), smallestArea_);
    form->addRow(Explanation(QStringLiteral("Ruch jest wykryty, gdy zmieni się co najmniej tyle obrazu "
                                            "(poza obszarami bez wykrywania). 0 – wystarczy jeden punkt."),
                             this));
    form->addRow(QStringLiteral("Zmiana oświetlenia:"), lightChange_);
    form->addRow(Explanation(QStringLiteral("Gdy naraz zmieni się więcej obrazu (zapalone światło, słońce zza "
                                            "chmury), nie jest to ruch. 0 – wyłączone."),
                             this));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(OkCancelRow(this));
    setFixedWidth(380);
}

std::int32_t DetectionSettingsWindow::SmallestArea() const { return Hundredths(smallestArea_); }
std::int32_t DetectionSettingsWindow::LightChange() const { return Hundredths(lightChange_); }

}  // namespace qmd
