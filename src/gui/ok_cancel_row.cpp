#include "gui/ok_cancel_row.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace qmd {

QHBoxLayout* OkCancelRow(QDialog* dialog)
{
    auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setObjectName(QStringLiteral("OK"));
    auto* cancel = new QPushButton(QStringLiteral("Anuluj"), dialog);
    cancel->setObjectName(QStringLiteral("Anuluj"));
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

}  // namespace qmd
