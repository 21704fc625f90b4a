#pragma once
// The extra sources the environment names: QUISK_EXTRA_SOURCES, a
// "|"-separated list of local files and URIs.
#include <string>
#include <vector>

#include "capture/sources/moniker.h"

namespace qmd {

// The environment variable that names the extra sources.
inline constexpr const char* kExtraSourcesVariable = "QUISK_EXTRA_SOURCES";

// The sources QUISK_EXTRA_SOURCES names, in its order. A network source's
// identity is its address without the user name and password.
std::vector<VideoSource> ExtraSourcesFromEnvironment();

// Where the source of that identity is read from: the entry of
// QUISK_EXTRA_SOURCES that it stands for, with the user name and password
// it holds; the identity itself when no entry has it.
std::string ExtraSourceLocation(const std::string& identity);

// The URI an entry of the list stands for (a file name made a file: URI);
// empty when it stands for none.
std::string ExtraSourceUri(const std::string& location);

}  // namespace qmd
