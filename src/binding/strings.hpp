// Text crossing the runtime boundary in both directions.
#pragma once

#include <string>
#include <string_view>

#include "vaskelith/api.h"

namespace ostrel::rt {

// Copies the string's bytes out and releases the handle (also for empty text).
std::string string_from_handle(QX_StringHandle handle);
// Releases a string unread.
void release_string(QX_StringHandle handle);

// The NUL-terminated copy of a text handed to the runtime.  A NUL byte inside
// the text ends the call with the fatal error "{fatal_message}: NulError(i, [bytes])".
std::string to_c_string(std::string_view text, std::string_view fatal_message);

// The debug form of the failed conversion: "NulError(3, [97, 98, 99, 0])".
std::string nul_error_debug(std::string_view text, std::size_t nul_index);

// A text in double quotes with the escapes of a debug form: \" \\ \0 \t \n \r,
// and \u{hex} for other control, unprintable and combining characters.
std::string debug_str(std::string_view text);

}  // namespace ostrel::rt
