// Text crossing the runtime boundary in both directions.
#pragma once

#include <string>
#include <string_view>

#include "vaskelith/api.h"

namespace ostrel::rt {

// Copies the string's bytes out and releases the handle (also for empty text).
std::string string_from_handle(QX_StringHandle handle);

// The NUL-terminated copy of a text handed to the runtime.  A NUL byte inside
// the text ends the call with the fatal error "{fatal_message}: NulError(i, [bytes])".
std::string to_c_string(std::string_view text, std::string_view fatal_message);

// The debug form of the failed conversion: "NulError(3, [97, 98, 99, 0])".
std::string nul_error_debug(std::string_view text, std::size_t nul_index);

}  // namespace ostrel::rt
