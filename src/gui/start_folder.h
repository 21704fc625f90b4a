#pragma once
// Where the file and folder choosers open: the folder the user chose last
// when it is still there, else the user's Pictures folder (for choosers of
// pictures' places) or home folder; never the root, which is where a program
// started from the desktop finds itself.
#include <QString>

namespace qmd {

enum class StartFallback { Pictures, Home };

QString StartFolder(const QString& chosenLast, StartFallback fallback);

}  // namespace qmd
