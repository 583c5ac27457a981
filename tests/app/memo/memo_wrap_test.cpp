// Wrapping rules, with advances simple enough to work out by hand: every ASCII
// character is 10 pixels wide, CJK characters 20.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/memo/memo_layout.h"
#include "app/memo/memo_text.h"
#include "memo_test_advances.h"

namespace qv {
namespace {

using testing_memo::HandAdvance;

std::vector<int64_t> Wrap(const std::string& s, int width_px) {
  TMemoAdvances advances(HandAdvance);
  TMemoLayout layout;
  layout.SetAdvances(&advances);
  layout.SetWidth(width_px * 64);
  TMemoText text;
  text.Assign(s);
  layout.Rewrap(text);
  std::vector<int64_t> starts;
  for (int64_t i = 0; i < layout.LineCount(); ++i) starts.push_back(layout.LineStart(i));
  return starts;
}

struct WrapCase {
  const char* name;
  std::string text;
  int width;
  std::vector<int64_t> starts;
};

TEST(MemoWrap, Rules) {
  const std::vector<WrapCase> cases = {
      {"empty text has one line", "", 50, {0}},
      {"hex breaks between any two characters", "0123456789AB", 50, {0, 5, 10}},
      {"exact fit stays on one line", "01234", 50, {0}},
      {"CR LF", "ab\r\ncd", 50, {0, 4}},
      {"lone LF", "ab\ncd", 50, {0, 3}},
      {"lone CR", "ab\rcd", 50, {0, 3}},
      {"CR then CR LF", "a\r\r\nb", 50, {0, 2, 4}},
      {"break at the end makes an empty last line", "ab\r\n", 50, {0, 4}},
      {"initial text", "\r\n", 50, {0, 2}},
      {"blank lines", "\n\n\r\n", 50, {0, 1, 2, 4}},
      {"word moves down after its space", "abc defgh", 50, {0, 4}},
      {"spaces that do not fit hang", "abcde   fg", 50, {0, 8}},
      {"hanging spaces take the line break", "abcde   \r\nx", 50, {0, 10}},
      {"hanging spaces at the end of text", "abcde   ", 50, {0}},
      {"a word longer than the line breaks inside", "ab cdefghijk", 50, {0, 3, 8}},
      {"wrapped exactly before a line break", "abcde\r\nf", 50, {0, 7}},
      {"narrower than one character", "abc", 5, {0, 1, 2}},
      {"narrower, with line breaks", "ab\r\nc", 5, {0, 1, 4}},
      {"narrower than one CJK character", "中文", 5, {0, 3}},
      {"CJK breaks between characters", "中文中文", 50, {0, 6}},
      {"CJK after a space", "ab 中文中", 50, {0, 6}},
      {"a latin word after CJK moves down whole",
       "中ab"
       "cdef",
       50,
       {0, 3, 8}},
      {"malformed UTF-8 bytes are characters", "\xff\xfe\xfd\xfc\xfb\xfa", 50, {0, 2, 4}},
  };
  for (const WrapCase& c : cases) {
    EXPECT_EQ(Wrap(c.text, c.width), c.starts) << c.name;
  }
}

TEST(MemoWrap, LineEndsAndSoftBreaks) {
  TMemoAdvances advances(HandAdvance);
  TMemoLayout layout;
  layout.SetAdvances(&advances);
  layout.SetWidth(50 * 64);
  TMemoText text;
  text.Assign("0123456789\r\nab\rc\n");
  layout.Rewrap(text);
  ASSERT_EQ(layout.LineCount(), 5);
  const int64_t ends[] = {5, 10, 14, 16, 17};
  const bool soft[] = {true, false, false, false, false};
  for (int64_t i = 0; i < layout.LineCount(); ++i) {
    EXPECT_EQ(layout.LineEnd(text, i), ends[i]) << i;
    EXPECT_EQ(layout.IsSoftBreak(text, i), soft[i]) << i;
  }
  EXPECT_EQ(layout.LineOf(4), 0);
  EXPECT_EQ(layout.LineOf(5), 1);
  EXPECT_EQ(layout.LineOf(17), 4);
}

// An edit re-wraps only near itself; the lines it gives must be those of a full
// re-wrap of the edited text.
TEST(MemoWrap, AnEditWrapsAsAFullRewrapWould) {
  struct EditCase {
    const char* name;
    std::string before;
    int width;
    int64_t pos, removed;
    std::string inserted;
    std::vector<int64_t> starts;  // of the edited text, as a full re-wrap gives them
  };
  const EditCase cases[] = {
      {"the line before takes back a word", "0123456789ab cdefgh", 50, 14, 5, "", {0, 5, 10}},
      {"a lone CR joins an LF typed after it", "ab\rcd", 50, 3, 0, "\n", {0, 4}},
      {"a word grows past the edge", "ab cd", 50, 4, 0, "xyz", {0, 3}},
      // The character that did not fit on line 0 (at byte 2) starts line 2, and the
      // byte added three after it completes it into a CJK character, which may start
      // a line of its own: line 0 now ends before it.
      {"completing a character where the line after next starts",
       " b\xF0\xA0\x80",
       25,
       5,
       0,
       "\x80",
       {0, 2}},
  };
  for (const EditCase& c : cases) {
    TMemoAdvances advances(HandAdvance);
    TMemoLayout layout;
    layout.SetAdvances(&advances);
    layout.SetWidth(c.width * 64);
    TMemoText text;
    text.Assign(c.before);
    layout.Rewrap(text);
    text.Replace(c.pos, c.removed, c.inserted);
    layout.Update(text, c.pos, c.removed, static_cast<int64_t>(c.inserted.size()));
    std::vector<int64_t> starts;
    for (int64_t i = 0; i < layout.LineCount(); ++i) starts.push_back(layout.LineStart(i));
    EXPECT_EQ(starts, c.starts) << c.name;
    EXPECT_EQ(Wrap(text.Str(), c.width), c.starts) << c.name;
  }
}

TEST(MemoWrap, TabsAdvanceToTheNextStop) {
  // Tab stops every 8 x 'x' = 80 px: "a\tb" puts b at 80, so it needs a 90 px line.
  EXPECT_EQ(Wrap("a\tb", 90), (std::vector<int64_t>{0}));
  EXPECT_EQ(Wrap("a\tb", 85), (std::vector<int64_t>{0, 2}));
}

TEST(MemoText, EditsAndMoveIn) {
  TMemoText t;
  std::string big(100000, 'A');
  const char* bytes = big.data();
  t.Assign(std::move(big));
  EXPECT_EQ(t.Run(0).data(), bytes);  // taken over, not copied
  t.Replace(50000, 0, "xyz");
  t.Replace(10, 5, "");
  t.Replace(99990, 8, "END");
  std::string expect(100000, 'A');
  expect.insert(50000, "xyz");
  expect.erase(10, 5);
  expect.replace(99990, 8, "END");
  EXPECT_EQ(t.Str(), expect);
  EXPECT_EQ(t.Length(), static_cast<int64_t>(expect.size()));
  EXPECT_EQ(t.Mid(49990, 10), expect.substr(49990, 10));
  EXPECT_EQ(t.Mid(-5, 3), expect.substr(0, 3));
  EXPECT_EQ(t.Mid(t.Length() - 2, 100), expect.substr(expect.size() - 2));
}

TEST(MemoText, TypingRunsStayOnePieceAndLongListsAreJoined) {
  TMemoText t;
  t.Assign(std::string(1000, '.'));
  for (int i = 0; i < 100; ++i) t.Replace(500 + i, 0, "x");
  EXPECT_EQ(t.PieceCount(), 3);  // before, the typed run, after
  std::string model = t.Str();
  std::mt19937 rng(3);
  int64_t most = 0;
  for (int i = 0; i < 80000; ++i) {
    const int64_t pos = static_cast<int64_t>(rng() % (model.size() + 1));
    t.Replace(pos, 0, "y");
    model.insert(static_cast<size_t>(pos), 1, 'y');
    most = std::max(most, t.PieceCount());
  }
  EXPECT_LE(most, 1 << 16);
  EXPECT_GT(most, 60000);
  EXPECT_LT(t.PieceCount(), most - 10000);  // joined once it passed the limit
  EXPECT_EQ(t.Str(), model);
}

}  // namespace
}  // namespace qv
