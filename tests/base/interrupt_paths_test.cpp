// The table of files an interrupt deletes: what it holds after adds and
// removals, in both spellings of a path (char on Linux, wchar_t on Windows).
#include "base/interrupt_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define QV_KEPT_ON_PURPOSE(pointer) __lsan_ignore_object(pointer)
#else
#define QV_KEPT_ON_PURPOSE(pointer) static_cast<void>(pointer)
#endif

namespace qv {
namespace {

template <class Char>
std::vector<std::basic_string<Char>> Held(const TInterruptPaths<Char>& table) {
  std::vector<std::basic_string<Char>> held;
  table.DeleteAll([&held](const Char* path) { held.emplace_back(path); });
  std::sort(held.begin(), held.end());
  return held;
}

template <class Char>
std::basic_string<Char> Name(int n) {
  const std::string name = "out-" + std::to_string(n) + ".hex";
  return std::basic_string<Char>(name.begin(), name.end());
}

template <class Char>
void CheckTable() {
  using String = std::basic_string<Char>;
  TInterruptPaths<Char> table;
  EXPECT_TRUE(Held(table).empty());

  // A full table holds no more; the files past it stay behind, nothing breaks.
  std::vector<String> all;
  for (int i = 0; i < TInterruptPaths<Char>::kSlots + 2; ++i) {
    table.Add(Name<Char>(i));
    all.push_back(Name<Char>(i));
  }
  std::vector<String> first(all.begin(), all.begin() + TInterruptPaths<Char>::kSlots);
  std::sort(first.begin(), first.end());
  EXPECT_EQ(Held(table), first);

  // Removing lets go of one copy; a path never added changes nothing.
  table.Remove(Name<Char>(3));
  table.Remove(Name<Char>(99));
  first.erase(std::find(first.begin(), first.end(), Name<Char>(3)));
  EXPECT_EQ(Held(table), first);

  // A freed slot takes the next path; the same path twice is held twice.
  table.Add(Name<Char>(0));
  const std::vector<String> held = Held(table);
  EXPECT_EQ(std::count(held.begin(), held.end(), Name<Char>(0)), 2);
  table.Remove(Name<Char>(0));
  const std::vector<String> after = Held(table);
  EXPECT_EQ(std::count(after.begin(), after.end(), Name<Char>(0)), 1);

  for (const String& path : after) table.Remove(path);
  EXPECT_TRUE(Held(table).empty());
}

// The handler walks the table while the program lets go of a path (another
// thread on Windows, any thread a signal lands on): the path it is given stays
// readable to its end. Played on one thread, the Remove inside the walk.
TEST(InterruptPaths, APathRemovedDuringTheWalkStaysReadable) {
  TInterruptPaths<char> table;
  table.Add("out-1.hex");
  std::vector<std::string> seen;
  table.DeleteAll([&](const char* path) {
    // A copy taken out during a walk is kept for the rest of the process
    // (an interrupt ends it): not a leak to report.
    QV_KEPT_ON_PURPOSE(path);
    table.Remove("out-1.hex");
    seen.emplace_back(path);  // freed here before: a use after free
  });
  EXPECT_EQ(seen, std::vector<std::string>{"out-1.hex"});
  EXPECT_TRUE(Held(table).empty());
}

TEST(InterruptPaths, HoldsWhatWasAddedAndNotRemoved) {
  CheckTable<char>();
  CheckTable<wchar_t>();
}

}  // namespace
}  // namespace qv
