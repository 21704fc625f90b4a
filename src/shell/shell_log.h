#pragma once
// The main window's and the program's start-up diagnostics (category "qmd.shell").
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcShell)
