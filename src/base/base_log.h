#pragma once
// The base layer's diagnostics (settings file, program directory), enabled
// and filtered as "qmd.base" through QT_LOGGING_RULES.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcBase)
