// Making one runtime call with its error-handler record, under one of the two
// failure policies: the reported Error is thrown, or the call ends fatally.
#pragma once

#include <cstddef>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "binding/error.hpp"
#include "binding/ffi.hpp"
#include "core/fatal.hpp"

namespace ostrel::rt::detail {

// "Internal error: Unexpected error returned from internal function {name}: {debug}"
[[noreturn]] void fatal_call(std::string_view name, const Error& e);
// "{message}: {debug}"
[[noreturn]] void fatal_with(std::string_view message, const Error& e);
// "Internal error: Unexpected failure to transform return value: {debug}"
[[noreturn]] void fatal_transform(const Error& e);

// Throws std::bad_alloc when the runtime reported that it ran out of memory:
// whatever the call's policy, that is MemoryError, never a panic (which
// would poison the model locks held around it).
inline void throw_if_out_of_memory(const Error& e) {
  if (e.is_out_of_memory()) throw std::bad_alloc();
}

// Calls `f(args..., handler)`; a reported error goes to `on_error`, which
// does not return.
template <class OnError, class F, class... A>
auto call_checked(OnError&& on_error, F f, A... args) {
  CallError err;
  if constexpr (std::is_void_v<decltype(f(args..., err.handler()))>) {
    f(args..., err.handler());
    if (err.failed()) {
      throw_if_out_of_memory(*err.slot());
      on_error(*err.slot());
    }
  } else {
    auto r = f(args..., err.handler());
    if (err.failed()) {
      throw_if_out_of_memory(*err.slot());
      on_error(*err.slot());
    }
    return r;
  }
}

// A reported error ends the call with the fatal error "{message}: {debug}".
template <class F, class... A>
auto call_or_fatal_with(std::string_view message, F f, A... args) {
  return call_checked([&](const Error& e) { fatal_with(message, e); }, f, args...);
}

template <class F, class... A>
auto call_or_fatal(std::string_view name, F f, A... args) {
  return call_checked([&](const Error& e) { fatal_call(name, e); }, f, args...);
}

template <class F, class... A>
auto call_or_throw(F f, A... args) {
  return call_checked([](Error& e) { throw std::move(e); }, f, args...);
}

// The code's value among `values`, or the conversion error naming the
// runtime's type and ours (thrown).
template <class E, std::size_t N>
E enum_try_from(std::underlying_type_t<E> code, const E (&values)[N], std::string_view from,
                std::string_view to) {
  for (E value : values)
    if (static_cast<std::underlying_type_t<E>>(value) == code) return value;
  throw Error::new_conversion_error(std::string(from), std::string(to));
}

// The result of converting a value the runtime returned; a failed conversion
// is a broken invariant.
template <class F>
auto transformed_or_fatal(F&& convert) {
  try {
    return convert();
  } catch (const Error& e) {
    fatal_transform(e);
  }
}

}  // namespace ostrel::rt::detail

// A runtime call whose error is a broken invariant.
#define OSTREL_RT_CALL_FATAL(name, ...) \
  ::ostrel::rt::detail::call_or_fatal(#name, QX(name) __VA_OPT__(, ) __VA_ARGS__)
// A runtime call whose error is thrown as rt::Error.
#define OSTREL_RT_CALL(name, ...) ::ostrel::rt::detail::call_or_throw(QX(name) __VA_OPT__(, ) __VA_ARGS__)
