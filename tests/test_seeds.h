// Seeds for the randomised tests. A normal run (CI) repeats a fixed list, so
// every run exercises the same sequences; QV_TEST_SEED=<n> runs that one seed
// instead, which is how a failure is replayed and how `make soak` tries fresh
// ones. Each seed is printed before its run, so that even a crash or a
// sanitizer report that ends the process names it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/platform.h"

namespace qv::testing_support {

inline std::vector<uint32_t> TestSeeds(std::initializer_list<uint32_t> fixed) {
  const char* text = std::getenv("QV_TEST_SEED");
  if (text != nullptr && *text != '\0')
    return {static_cast<uint32_t>(std::strtoul(text, nullptr, 10))};
  return fixed;
}

// "QV_TEST_SEED=<seed> <this binary> --gtest_filter=<this test>".
inline std::string SeedReplayCommand(uint32_t seed) {
  const std::string binary = ExecutablePath();
  std::string filter = "*";
  if (const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info()) {
    filter = std::string(test->test_suite_name()) + "." + test->name();
  }
  return "QV_TEST_SEED=" + std::to_string(seed) + " " + binary + " --gtest_filter=" + filter;
}

// Prints the seed and its replay command before the run; use the result as a
// SCOPED_TRACE so that every failure inside the run names the seed too.
inline std::string AnnounceSeed(uint32_t seed) {
  const std::string line = "seed " + std::to_string(seed) + "; replay: " + SeedReplayCommand(seed);
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  return line;
}

}  // namespace qv::testing_support
