// The ownership rule shared by every runtime handle type: one owner, released
// once with the type's destroy function, moved but never copied.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "binding/error.hpp"
#include "binding/ffi.hpp"

namespace ostrel::rt {

// Marks the constructor that takes over a raw handle without checking it.
// Code outside the binding uses `T::from_handle`, which checks for null.
struct adopt_t {
  explicit adopt_t() = default;
};
inline constexpr adopt_t adopt{};

namespace detail {

// Ends the call with a fatal error; when a failure is already unwinding (a
// release inside a destructor) the message goes to stderr instead, because a
// second exception would terminate the process.
void fatal_from_release(std::string message);

// Holds the raw handle.  The typed classes add operations on top of it
// (GeometryBase, SegmentBase) and Handle adds ownership.
template <class H>
class RawHandle {
 public:
  using raw_type = H;
  H raw() const noexcept { return h_; }

 protected:
  RawHandle() = default;
  explicit RawHandle(H h) noexcept : h_(h) {}
  ~RawHandle() = default;
  H h_ = nullptr;
};

}  // namespace detail

// Owning wrapper.  `Derived` provides:
//   static constexpr std::string_view kFamily, kName;   (null-handle and release messages)
//   static void destroy(H, const QX_ErrorHandler*);     (the runtime destroy function)
// and may shadow null_message() / release_message() where its texts differ.
template <class Derived, class H, class Base = detail::RawHandle<H>>
class Handle : public Base {
 public:
  Handle(adopt_t, H h) noexcept : Base(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& o) noexcept : Base(std::exchange(o.h_, nullptr)) {}
  Handle& operator=(Handle&& o) {
    if (this != &o) {
      reset();
      this->h_ = std::exchange(o.h_, nullptr);
    }
    return *this;
  }
  ~Handle() noexcept(false) { reset(); }

  // Takes over a handle that the runtime returned; null is fatal.
  static Derived from_handle(H h) {
    if (h == nullptr) py_fatal_null();
    return Derived(adopt, h);
  }

  // Gives the handle up without releasing it.
  H into_raw() noexcept { return std::exchange(this->h_, nullptr); }

  static std::string null_message() {
    return "Internal error: Unexpected null handle returned from core " + std::string(Derived::kFamily) +
           " for " + std::string(Derived::kName);
  }
  static std::string release_message() {
    return "Internal error: Unexpected error while destroying internal handle to " +
           std::string(Derived::kName);
  }

 protected:
  void reset() {
    if (H h = std::exchange(this->h_, nullptr)) {
      CallError err;
      Derived::destroy(h, err.handler());
      if (err.failed()) detail::fatal_from_release(Derived::release_message() + ": " + err.slot()->debug());
    }
  }

 private:
  [[noreturn]] static void py_fatal_null();
};

namespace detail {
[[noreturn]] void fatal(std::string message);
}

template <class Derived, class H, class Base>
void Handle<Derived, H, Base>::py_fatal_null() {
  detail::fatal(Derived::null_message());
}

// A borrowed view of a handle owned elsewhere, seen as T.  It never releases
// the handle; the owner must outlive it.
template <class T>
class Borrowed {
 public:
  explicit Borrowed(typename T::raw_type h) noexcept : value_(adopt, h) {}
  Borrowed(const Borrowed&) = delete;
  Borrowed& operator=(const Borrowed&) = delete;
  Borrowed(Borrowed&&) noexcept = default;
  ~Borrowed() { (void)value_.into_raw(); }

  const T& get() const noexcept { return value_; }
  operator const T&() const noexcept { return value_; }
  const T* operator->() const noexcept { return &value_; }
  const T& operator*() const noexcept { return value_; }

 private:
  T value_;
};

}  // namespace ostrel::rt
