#include "base/base_log.h"

Q_LOGGING_CATEGORY(lcBase, "qmd.base")
