#pragma once
// The reactions' diagnostics (category "qmd.react").
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcReact)
