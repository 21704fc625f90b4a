#pragma once
// The capture layer's diagnostics (category "qmd.capture").
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcCapture)
