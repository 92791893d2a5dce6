// Finding and loading libvaskelith.so.
#pragma once

#include <optional>
#include <string>

namespace ostrel::rt {

// A failed file-system query, in the shape the start-up warning prints.
struct IoError {
  enum class Kind {
    NotFound,
    PermissionDenied,
    NotADirectory,
    InvalidInput,
    FilesystemLoop,
    InvalidFilename,
    Other
  };
  Kind kind = Kind::Other;
  std::string message;
  // Set when the error came from the operating system (errno).
  std::optional<int> os_code;

  static IoError from_errno(int code);
  // 'Custom { kind: NotFound, error: "Could not find dynamic library at /x" }'
  // or 'Os { code: 13, kind: PermissionDenied, message: "Permission denied" }'
  std::string debug() const;
  // The message alone, or 'Permission denied (os error 13)'.
  std::string display() const;
};

// Stores the path the one-time load will open (replacing an earlier one).
void set_library_path(const std::string& path);

// The path the one-time load opens: the stored path, GEOMETRY_LIB_PATH, the
// folders around the executable and the build tree, else the bare file name.
std::string find_library_path();

// The start-up entry: when `path` exists, stores it, loads the library (once
// per process) and initialises the runtime environment.  Returns the error of
// the existence check, or NotFound "Could not find dynamic library at {path}".
// A failed load is fatal.
std::optional<IoError> init_with_library(const std::string& path);

}  // namespace ostrel::rt
