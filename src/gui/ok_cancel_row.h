#pragma once
// The row under a small settings window: "OK" accepts it and "Anuluj"
// rejects it, both at the right (object names "OK" and "Anuluj").
class QDialog;
class QHBoxLayout;

namespace qmd {

QHBoxLayout* OkCancelRow(QDialog* dialog);

}  // namespace qmd
