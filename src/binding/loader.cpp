#include "binding/loader.hpp"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "binding/call.hpp"
#include "binding/environment.hpp"
#include "binding/ffi.hpp"
#include "binding/once.hpp"
#include "binding/strings.hpp"
#include "core/fatal.hpp"

#ifndef OSTREL_SOURCE_DIR
#define OSTREL_SOURCE_DIR "."
#endif

namespace ostrel::rt {
namespace {

constexpr const char* kLibraryFile = "libvaskelith.so";

const char* const kNames[] = {
#define X(name) #name,
#include "vaskelith/names.h"
// The internal names come after every name of the interface.
#include "vaskelith/internal_names.h"
#undef X
};
static_assert(sizeof(kNames) / sizeof(kNames[0]) == fn::count);

// ---- the stored path ----

// A mutex that remembers a holder which ended with a failure, so that later
// users see the broken state instead of a half-written value.
struct StoredPath {
  std::mutex mutex;
  bool poisoned = false;
  std::optional<std::string> path;
};

StoredPath& stored_path() {
  static StoredPath s;
  return s;
}

template <class F>
auto with_stored_path(F&& body) {
  StoredPath& s = stored_path();
  std::lock_guard lock(s.mutex);
  if (s.poisoned)
    core::fatal("Failed to acquire lock on GEOMETRY_LIB_PATH: poisoned lock: another task failed inside");
  try {
    return body(s.path);
  } catch (...) {
    s.poisoned = true;
    throw;
  }
}

// ---- paths ----

std::string join(const std::string& dir, const std::string& name) {
  if (!dir.empty() && dir.back() == '/') return dir + name;
  if (dir.empty()) return name;
  return dir + "/" + name;
}

// The parent folder, or absent for the root (and for a bare name's empty parent).
std::optional<std::string> parent(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.empty() || p == "/") return std::nullopt;
  std::size_t slash = p.rfind('/');
  if (slash == std::string::npos) return std::string();
  if (slash == 0) return std::string("/");
  return p.substr(0, slash);
}

// The folder and each of its ancestors up to the root.
std::vector<std::string> ancestors(const std::string& dir) {
  std::vector<std::string> out;
  std::optional<std::string> cur = dir;
  while (cur && !cur->empty()) {
    out.push_back(*cur);
    cur = parent(*cur);
  }
  return out;
}

bool qualifies(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool valid_utf8(const char* s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  while (*p) {
    unsigned char b = *p;
    int len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0) return false;
    uint32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    for (int i = 1; i < len; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      c = (c << 6) | (p[i] & 0x3F);
    }
    static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    p += len;
  }
  return true;
}

std::optional<std::string> executable_path() {
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return std::nullopt;
    if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<std::size_t>(n));
    buf.resize(buf.size() * 2);
  }
}

// ---- the one-time load ----

[[noreturn]] void load_failed(const std::string& path, const std::string& reason) {
  core::fatal("Failed to load vaskelith library at " + path + ": " + reason);
}

void load_into(VaskelithFFI& table) {
  std::string path = find_library_path();
  ::dlerror();
  void* library = ::dlopen(path.c_str(), RTLD_LAZY);
  if (library == nullptr) {
    const char* msg = ::dlerror();
    load_failed(path, std::string("Could not open library: ") + (msg ? msg : ""));
  }
  for (std::size_t i = 0; i < fn::count; ++i) {
    ::dlerror();
    void* entry = ::dlsym(library, kNames[i]);
    if (entry == nullptr) {
      const char* msg = ::dlerror();
      std::string reason = msg ? std::string("Could not obtain symbol from the library: ") + msg
                               : std::string("The symbol is NULL");
      if (::dlclose(library) != 0) core::fatal("Call to dlclose() failed");
      load_failed(path, reason);
    }
    table.entries[i] = entry;
  }
  table.library = library;
}

}  // namespace

const VaskelithFFI& ffi() {
  static PoisoningOnce once;
  static VaskelithFFI table;
  once.call([] { load_into(table); }, "LazyLock instance has previously been poisoned");
  return table;
}

// ---- IoError ----

namespace {

struct ErrnoKind {
  int code;
  IoError::Kind kind;
};
constexpr ErrnoKind kErrnoKinds[] = {
    {ENOENT, IoError::Kind::NotFound},
    {EACCES, IoError::Kind::PermissionDenied},
    {EPERM, IoError::Kind::PermissionDenied},
    {ENOTDIR, IoError::Kind::NotADirectory},
    {EINVAL, IoError::Kind::InvalidInput},
    {ELOOP, IoError::Kind::FilesystemLoop},
    {ENAMETOOLONG, IoError::Kind::InvalidFilename},
};

// In the order of IoError::Kind; a kind without a name of its own is
// "Uncategorized".
constexpr const char* kKindNames[] = {"NotFound",       "PermissionDenied", "NotADirectory", "InvalidInput",
                                      "FilesystemLoop", "InvalidFilename",  "Uncategorized"};
static_assert(std::size(kKindNames) == static_cast<std::size_t>(IoError::Kind::Other) + 1);

const char* kind_name(IoError::Kind kind) { return kKindNames[static_cast<std::size_t>(kind)]; }

}  // namespace

IoError IoError::from_errno(int code) {
  IoError e;
  e.os_code = code;
  for (const ErrnoKind& k : kErrnoKinds)
    if (k.code == code) e.kind = k.kind;
  char buf[256];
  const char* text = ::strerror_r(code, buf, sizeof buf);
  e.message = text ? text : "";
  return e;
}

std::string IoError::debug() const {
  if (os_code)
    return "Os { code: " + std::to_string(*os_code) + ", kind: " + kind_name(kind) +
           ", message: " + debug_str(message) + " }";
  return std::string("Custom { kind: ") + kind_name(kind) + ", error: " + debug_str(message) + " }";
}

std::string IoError::display() const {
  if (os_code) return message + " (os error " + std::to_string(*os_code) + ")";
  return message;
}

// ---- entries ----

void set_library_path(const std::string& path) {
  with_stored_path([&](std::optional<std::string>& stored) { stored = path; });
}

std::string find_library_path() {
  if (auto stored = with_stored_path([](std::optional<std::string>& p) { return p; })) return *stored;

  if (const char* env = std::getenv("GEOMETRY_LIB_PATH"); env != nullptr && valid_utf8(env) && qualifies(env))
    return env;

  std::optional<std::string> exe_dir;
  if (std::optional<std::string> exe = executable_path()) exe_dir = parent(*exe);
  if (exe_dir && exe_dir->empty()) exe_dir.reset();
  if (exe_dir) {
    std::vector<std::string> candidates = {join(*exe_dir, kLibraryFile),
                                           join(join(*exe_dir, "deps"), kLibraryFile)};
    if (std::optional<std::string> up = parent(*exe_dir); up && !up->empty()) {
      candidates.push_back(join(join(*up, "deps"), kLibraryFile));
      candidates.push_back(join(join(*up, "lib"), kLibraryFile));
    }
    for (const std::string& c : candidates)
      if (qualifies(c)) return c;
  }

  auto bundled = [](const std::string& dir) {
    return join(join(join(dir, "vaskelith_bin"), "linux-x86_64"), kLibraryFile);
  };
  if (exe_dir)
    for (const std::string& dir : ancestors(*exe_dir))
      if (std::string c = bundled(dir); qualifies(c)) return c;
  for (const std::string& dir : ancestors(OSTREL_SOURCE_DIR "/src/binding"))
    if (std::string c = bundled(dir); qualifies(c)) return c;

  return kLibraryFile;
}

std::optional<IoError> init_with_library(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    int code = errno;
    if (code != ENOENT) return IoError::from_errno(code);
    return IoError{IoError::Kind::NotFound, "Could not find dynamic library at " + path, std::nullopt};
  }
  set_library_path(path);
  (void)ffi();
  environment::init();
  return std::nullopt;
}

}  // namespace ostrel::rt
