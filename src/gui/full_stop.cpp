#include "gui/full_stop.h"

namespace qmd {

QString WithClosingFullStop(const QString& message)
{
    if (message.isEmpty() || message.back() <= QLatin1Char('.')) return message;
    return message + QLatin1Char('.');
}

}  // namespace qmd
