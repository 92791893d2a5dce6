// Making one runtime call with its error-handler record, under one of the two
// failure policies: the reported Error is thrown, or the call ends fatally.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

#include "binding/error.hpp"
#include "binding/ffi.hpp"

namespace ostrel::rt::detail {

// Thrown as py::Fatal (kept out of this header so the binding's users need no
// Python headers).
[[noreturn]] void fatal(std::string message);
// "Internal error: Unexpected error returned from internal function {name}: {debug}"
[[noreturn]] void fatal_call(std::string_view name, const Error& e);
// "{message}: {debug}"
[[noreturn]] void fatal_with(std::string_view message, const Error& e);
// "Internal error: Unexpected failure to transform return value: {debug}"
[[noreturn]] void fatal_transform(const Error& e);

template <class F, class... A>
auto call_or_fatal(std::string_view name, F f, A... args) {
  CallError err;
  if constexpr (std::is_void_v<decltype(f(args..., err.handler()))>) {
    f(args..., err.handler());
    if (err.failed()) fatal_call(name, *err.slot());
  } else {
    auto r = f(args..., err.handler());
    if (err.failed()) fatal_call(name, *err.slot());
    return r;
  }
}

template <class F, class... A>
auto call_or_throw(F f, A... args) {
  CallError err;
  if constexpr (std::is_void_v<decltype(f(args..., err.handler()))>) {
    f(args..., err.handler());
    err.check();
  } else {
    auto r = f(args..., err.handler());
    err.check();
    return r;
  }
}

}  // namespace ostrel::rt::detail

// A runtime call whose error is a broken invariant.
#define OSTREL_RT_CALL_FATAL(name, ...) \
  ::ostrel::rt::detail::call_or_fatal(#name, QX(name) __VA_OPT__(, ) __VA_ARGS__)
// A runtime call whose error is thrown as rt::Error.
#define OSTREL_RT_CALL(name, ...) ::ostrel::rt::detail::call_or_throw(QX(name) __VA_OPT__(, ) __VA_ARGS__)
