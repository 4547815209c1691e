#include "text/scope_guard.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vantrelis {
namespace {

TEST(ScopeGuard, RunsOnceWhenTheScopeIsLeftByReturnOrByException) {
  int runs = 0;
  {
    const ScopeGuard guard([&] { ++runs; });
  }
  EXPECT_EQ(runs, 1);
  try {
    const ScopeGuard guard([&] { ++runs; });
    throw std::runtime_error("leaving");
  } catch (const std::runtime_error&) {
    EXPECT_EQ(runs, 2) << "the clean-up ran before the handler";
  }
  EXPECT_EQ(runs, 2);
}

}  // namespace
}  // namespace vantrelis
