#pragma once
// What an exception says, for the one catch at a thread boundary.
#include <exception>
#include <string>

namespace qmd {

// Inside a catch block: what() of the exception being handled, or
// "unknown error" for one that is no std::exception.
inline std::string CaughtExceptionText()
{
    try {
        throw;
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "unknown error";
    }
}

}  // namespace qmd
