#pragma once
// The one exception type of the program. A command that fails throws it; the
// application's error report shows what() (UTF-8) and the program goes on.
#include <stdexcept>
#include <string>

namespace qmd {

class QuiskError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace qmd
