#include "react/core/react_log.h"

Q_LOGGING_CATEGORY(lcReact, "qmd.react")
