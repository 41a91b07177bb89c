// JSON Lines for scripts: each object one line, its strings in UTF-8.
#pragma once

#include <string>

namespace cli {

// text as a JSON string, quoted and escaped. Bytes that are no UTF-8 (a
// name on a system that does not require it) are written \udcXX, XX the
// byte, as Python's surrogate escape reads them: nothing of a name is lost.
std::string JsonString(const std::string& text);

}  // namespace cli
