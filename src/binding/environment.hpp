// The one-time initialisation of the runtime environment.
#pragma once

namespace ostrel::rt::environment {

// Loads the library if needed, installs the library-wide error callback and
// checks the runtime answers.  Runs once per process; a failure is fatal, then
// and for every later call.
void init();

}  // namespace ostrel::rt::environment
