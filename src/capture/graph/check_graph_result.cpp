#include "capture/graph/check_graph_result.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/utf8_cut.h"

namespace qmd {

namespace {

std::string MessageFor(std::uint32_t code, const std::string& text)
{
    // The text the user sees is cut like a fixed 255-byte buffer would, but
    // never inside a character: the box would show a broken one.
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, " ($%X).", static_cast<unsigned>(code));
    return CutUtf8(std::string(text.c_str()), 255) + suffix;
}

}  // namespace

EDirectShowException::EDirectShowException(std::uint32_t code, std::string platformText)
    : QuiskError(MessageFor(code, platformText)), code_(code)
{
}

std::string GraphResultText(std::uint32_t result)
{
    switch (result) {
    case kResultFailed: return "Unspecified error";
    case kResultNoInterface: return "No such interface supported";
    case kResultTimeout: return "This operation returned because the timeout period expired.";
    case kResultDeviceError: return "A device attached to the system is not functioning.";
    case kResultCannotLink: return "No combination of intermediate filters could be found to make the connection.";
    default: return {};
    }
}

std::uint32_t CheckGraphResult(std::uint32_t result)
{
    if (result & 0x80000000u) throw EDirectShowException(result, GraphResultText(result));
    return result;
}

}  // namespace qmd
