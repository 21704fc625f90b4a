#pragma once
// The extra sources the environment names: QUISK_EXTRA_SOURCES, a
// "|"-separated list of local files and URIs.
#include <string>
#include <vector>

#include "capture/sources/moniker.h"

namespace qmd {

// The environment variable that names the extra sources.
inline constexpr const char* kExtraSourcesVariable = "QUISK_EXTRA_SOURCES";

// The sources QUISK_EXTRA_SOURCES names, in its order.
std::vector<MonikerFields> ExtraSourcesFromEnvironment();

// The URI an entry of the list stands for (a file name made a file: URI);
// empty when it stands for none.
std::string ExtraSourceUri(const std::string& location);

}  // namespace qmd
