#pragma once
#include <QColor>
#include <QFont>

namespace qmd {

// The small dialog font of the reaction windows (11-pixel characters).
QFont DialogFont();
// The large bold font of the information window (27-pixel characters).
QFont InformationFont();

}  // namespace qmd
