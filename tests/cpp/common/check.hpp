// The few checks the C++ test programs share: each failed check is reported
// on stderr with its line and counted; main() ends with check::report().
#pragma once

#include <cstdio>
#include <string>

namespace check {

inline int failures = 0;

inline void expect_eq(const std::string& got, const std::string& want, const char* what, int line) {
  if (got != want) {
    std::fprintf(stderr, "line %d: %s\n  got:  %s\n  want: %s\n", line, what, got.c_str(), want.c_str());
    ++failures;
  }
}

inline void expect(bool ok, const char* what, int line) {
  if (!ok) {
    std::fprintf(stderr, "line %d: expected %s\n", line, what);
    ++failures;
  }
}

// The exit status of a test program: 0 when every check passed.
inline int report(const char* passed_message) {
  if (failures) {
    std::fprintf(stderr, "%d check(s) failed\n", failures);
    return 1;
  }
  std::puts(passed_message);
  return 0;
}

}  // namespace check

#define EXPECT_EQ(got, want) ::check::expect_eq((got), (want), #got, __LINE__)
#define EXPECT(cond) ::check::expect(static_cast<bool>(cond), #cond, __LINE__)
