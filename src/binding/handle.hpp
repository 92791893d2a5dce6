// The ownership rule shared by every runtime handle type: one owner, released
// once with the type's destroy function, moved but never copied.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "binding/error.hpp"
#include "binding/ffi.hpp"
#include "core/fatal.hpp"

namespace ostrel::rt {

// Marks the constructor that takes over a raw handle without checking it.
// Code outside the binding uses `T::from_handle`, which checks for null.
struct adopt_t {
  explicit adopt_t() = default;
};
inline constexpr adopt_t adopt{};

namespace detail {

// A failed release.  Releases run in destructors, often of many handles at
// once (a vector of them), where no exception may leave: the fatal error is
// deferred to the end of the call (core::defer_fatal).  When a failure is
// already unwinding, that failure is raised and this one only goes to stderr.
void release_failed(std::string message) noexcept;

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

// A type or family name given as a template argument ("Geometry").
template <std::size_t N>
struct FixedName {
  char text[N];
  constexpr FixedName(const char (&s)[N]) { std::copy_n(s, N, text); }
  constexpr std::string_view view() const { return {text, N - 1}; }
};

// Owning wrapper.  `Destroy` is the table entry of the runtime destroy
// function (every one takes the handle and a handler record); `Family` names
// the runtime object family in the null-handle message, the type's own name
// when empty.  `Derived` provides `static constexpr std::string_view kName`
// and may shadow destroy(), null_message() or release_message() where its
// release or texts differ.
template <class Derived, class H, fn::Index Destroy, FixedName Family = "", class Base = detail::RawHandle<H>>
class Handle : public Base {
 public:
  Handle(adopt_t, H h) noexcept : Base(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& o) noexcept : Base(std::exchange(o.h_, nullptr)) {}
  Handle& operator=(Handle&& o) noexcept {
    if (this != &o) {
      reset();
      this->h_ = std::exchange(o.h_, nullptr);
    }
    return *this;
  }
  ~Handle() { reset(); }

  // Takes over a handle that the runtime returned; null is fatal.
  static Derived from_handle(H h) {
    if (h == nullptr) py_fatal_null();
    return Derived(adopt, h);
  }

  // Gives the handle up without releasing it.
  H into_raw() noexcept { return std::exchange(this->h_, nullptr); }

  static void destroy(H h, const QX_ErrorHandler* eh) {
    reinterpret_cast<void (*)(H, const QX_ErrorHandler*)>(ffi().entries[Destroy])(h, eh);
  }
  static std::string null_message() {
    constexpr std::string_view family = Family.view().empty() ? Derived::kName : Family.view();
    return "Internal error: Unexpected null handle returned from core " + std::string(family) + " for " +
           std::string(Derived::kName);
  }
  static std::string release_message() {
    return "Internal error: Unexpected error while destroying internal handle to " +
           std::string(Derived::kName);
  }

 protected:
  void reset() noexcept {
    if (H h = std::exchange(this->h_, nullptr)) {
      CallError err;
      Derived::destroy(h, err.handler());
      if (!err.failed()) return;
      try {
        detail::release_failed(Derived::release_message() + ": " + err.slot()->debug());
      } catch (...) {
        detail::release_failed(std::string());  // out of memory for the text; the failure still counts
      }
    }
  }

 private:
  [[noreturn]] static void py_fatal_null();
};

template <class Derived, class H, fn::Index Destroy, FixedName Family, class Base>
void Handle<Derived, H, Destroy, Family, Base>::py_fatal_null() {
  core::fatal(Derived::null_message());
}

// What a typed handle stands for: the runtime's kind code and its full type
// name as conversion errors give it ("geometry::point::Point"), whose last
// component is the short name the handle messages use.
template <int32_t Kind, FixedName TypePath>
struct KindOf {
  static constexpr int32_t kKind = Kind;
  static constexpr std::string_view kTypePath = TypePath.view();
  static constexpr std::string_view kName = kTypePath.substr(kTypePath.rfind(':') + 1);
};

template <class T>
class Borrowed;

// Borrowed narrowing of a general handle (GeometryOwned, SegmentOwned) to a
// typed handle T of the same runtime handle, by the kind code the runtime
// reports: `Owned::kind_for_downcast_ref()` asks for it, ending the call with
// its own fatal error when the query fails.  Nothing is released either way.
template <class Owned>
class DowncastRef {
 public:
  // A view of the same handle as T, or the conversion error thrown.
  template <class T>
    requires std::is_same_v<typename T::raw_type, typename Owned::raw_type>
  Borrowed<T> downcast_ref() const {
    if (!is<T>()) throw Error::new_conversion_error(std::string(Owned::kName), std::string(T::kTypePath));
    return Borrowed<T>(self().raw());
  }
  // The same without the exception: absent on a kind mismatch.
  template <class T>
    requires std::is_same_v<typename T::raw_type, typename Owned::raw_type>
  std::optional<Borrowed<T>> try_downcast_ref() const {
    if (!is<T>()) return std::nullopt;
    return std::optional<Borrowed<T>>(std::in_place, self().raw());
  }

 private:
  const Owned& self() const { return static_cast<const Owned&>(*this); }
  template <class T>
  bool is() const {
    return self().kind_for_downcast_ref() == T::kKind;
  }
};

// The raw handle of an optional borrowed argument, or null when it is absent.
template <class T>
typename T::raw_type raw_or_null(const T* value) noexcept {
  return value ? value->raw() : nullptr;
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
