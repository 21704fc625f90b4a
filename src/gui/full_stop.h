#pragma once
// The error report ends its message with a full stop unless the message
// already ends in one or in a character that sorts at or below it (closing
// punctuation such as '!' or ')' keeps the message as it is).
#include <QString>

namespace qmd {

// `message` with "." appended when its last character sorts after '.'.
// An empty message stays empty.
QString WithClosingFullStop(const QString& message);

}  // namespace qmd
