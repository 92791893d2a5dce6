// The one runtime-binding symbol the model's error type links against; these
// checks never make a runtime call.
#include "binding/error.hpp"

std::string ostrel::rt::Error::text() const { return msg; }
