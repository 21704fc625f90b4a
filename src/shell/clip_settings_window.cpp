#include "shell/clip_settings_window.h"

#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "gui/ok_cancel_row.h"

namespace qmd {
namespace {

QSpinBox* NumberBox(const char* name, std::int32_t value, int most, const QString& suffix, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(0, most);
    box->setSuffix(suffix);
    box->setValue(value);
    return box;
}

}  // namespace

ClipSettingsWindow::ClipSettingsWindow(std::int32_t secondsBefore, std::int32_t secondsAfter,
                                       std::int32_t limitMegabytes, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("fmNagrywanieFilmu"));
    setWindowTitle(QStringLiteral("Nagrywanie filmu"));
    // The ring before motion is held in memory: a minute at most.
    before_ = NumberBox("FilmPrzedRuchem", secondsBefore, 60, QStringLiteral(" s"), this);
    after_ = NumberBox("FilmPoRuchu", secondsAfter, 3600, QStringLiteral(" s"), this);
    limit_ = NumberBox("LimitFilmow", limitMegabytes, 1024 * 1024, QStringLiteral(" MB"), this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Film przed ruchem:"), before_);
    form->addRow(QStringLiteral("Film po ruchu:"), after_);
    form->addRow(QStringLiteral("Limit filmów:"), limit_);
    auto* explanation = new QLabel(QStringLiteral("Gdy filmy zajmą więcej miejsca, program usunie najstarsze z "
                                                  "nich (tylko nagrane przez siebie). 0 – bez limitu."),
                                   this);
    explanation->setWordWrap(true);
    form->addRow(explanation);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(OkCancelRow(this));
    setFixedWidth(340);
}

std::int32_t ClipSettingsWindow::SecondsBefore() const { return before_->value(); }
std::int32_t ClipSettingsWindow::SecondsAfter() const { return after_->value(); }
std::int32_t ClipSettingsWindow::LimitMegabytes() const { return limit_->value(); }

}  // namespace qmd
