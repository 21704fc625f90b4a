#pragma once
// A modal one-line text input, centred on the screen: the prompt as a
// word-wrapped label, an edit field limited to maxLength characters, OK (the
// default button) and Cancel.
#include <optional>

#include <QString>

class QWidget;

namespace qmd {

// The text after OK; nothing after Cancel or any other close.
std::optional<QString> InputQuery(QWidget* parent, const QString& caption, const QString& prompt,
                                  const QString& initialText, int maxLength = 255);

}  // namespace qmd
