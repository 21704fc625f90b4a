#include "capture/graph/capture_log.h"

Q_LOGGING_CATEGORY(lcCapture, "qmd.capture")
