// Runs a clean-up when a scope is left, whether by return or by exception.
#pragma once

#include <type_traits>
#include <utility>

namespace vantrelis {

// Calls its function once, when it goes out of scope. The function must not
// throw: it runs from a destructor, maybe while an exception unwinds.
template <typename OnExit>
class ScopeGuard {
  static_assert(std::is_invocable_v<OnExit&>, "ScopeGuard needs a function without arguments");

 public:
  // Keeps `onExit` to call at the end of the enclosing scope.
  explicit ScopeGuard(OnExit onExit) noexcept(std::is_nothrow_move_constructible_v<OnExit>)
      : m_onExit(std::move(onExit)) {}
  ~ScopeGuard() { m_onExit(); }
  ScopeGuard(const ScopeGuard&) = delete;
  ScopeGuard& operator=(const ScopeGuard&) = delete;

 private:
  OnExit m_onExit;
};

template <typename OnExit>
ScopeGuard(OnExit) -> ScopeGuard<OnExit>;

}  // namespace vantrelis
