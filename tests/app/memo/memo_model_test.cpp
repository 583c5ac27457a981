// Random edit scripts against a plain std::string: after every step the text must
// equal the model and the line index must equal a full re-wrap of the model.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/memo/memo_layout.h"
#include "app/memo/memo_text.h"
#include "app/memo/memo_undo.h"
#include "tests/test_seeds.h"
#include "tests/test_support.h"

namespace qv {
namespace {

// Proportional, like a real font: hex digits of different widths, CJK wider.
int32_t TestAdvance(char32_t cp) {
  if (cp >= '0' && cp <= '9') return 447;
  if (cp >= 'A' && cp <= 'F') return 400 + static_cast<int32_t>(cp - 'A') * 23;
  if (cp == ' ') return 223;
  if (cp >= 0x2E80) return 704;
  if (cp < 0x20) return 0;
  return 300 + static_cast<int32_t>(cp % 7) * 40;
}

class MemoModel : public ::testing::Test {
 protected:
  MemoModel() : advances_(TestAdvance) {
    layout_.SetAdvances(&advances_);
    layout_.SetWidth(290 * 64);
    Replace(std::string("\r\n"));
  }

  void Replace(std::string s) {
    model_ = s;
    text_.Assign(std::move(s));
    layout_.Rewrap(text_);
    undo_.Clear();
  }

  void Edit(int64_t pos, int64_t count, const std::string& insert) {
    undo_.Record(TMemoEdit{pos, text_.Mid(pos, count), static_cast<int64_t>(insert.size()), 0, 0},
                 TMemoEditKind::ekOther);
    Apply(pos, count, insert);
  }

  void Apply(int64_t pos, int64_t count, const std::string& insert) {
    text_.Replace(pos, count, insert);
    layout_.Update(text_, pos, count, static_cast<int64_t>(insert.size()));
    model_.replace(static_cast<size_t>(pos), static_cast<size_t>(count), insert);
  }

  void Undo() {
    TMemoEdit e = undo_.TakeUndo();
    Apply(e.pos, e.inserted, e.removed);
  }

  // Full comparison: text, and every line start against a fresh wrap of the model.
  void Check(const std::string& step) {
    ASSERT_EQ(text_.Length(), static_cast<int64_t>(model_.size())) << step;
    ASSERT_TRUE(text_.Str() == model_) << step;
    for (int k = 0; k < 20 && !model_.empty(); ++k) {
      const size_t at = static_cast<size_t>(rng_() % model_.size());
      ASSERT_EQ(text_.At(static_cast<int64_t>(at)), model_[at]) << step << " at " << at;
      ASSERT_EQ(text_.Mid(static_cast<int64_t>(at), 9), model_.substr(at, 9)) << step;
    }
    TMemoText fresh_text;
    fresh_text.Assign(model_);
    TMemoLayout fresh;
    fresh.SetAdvances(&advances_);
    fresh.SetWidth(layout_.Width());
    fresh.Rewrap(fresh_text);
    ASSERT_EQ(layout_.LineCount(), fresh.LineCount()) << step;
    for (int64_t i = 0; i < fresh.LineCount(); ++i) {
      ASSERT_EQ(layout_.LineStart(i), fresh.LineStart(i)) << step << " line " << i;
    }
  }

  std::string RandomPiece(size_t max_len) {
    static const std::vector<std::string> atoms = {
        "0", "1",  "7",    "9",  "A",  "B",    "C",  "D",  "E",    "F",    "0F", "FF", "00",
        " ", "  ", "\r\n", "\n", "\r", "word", "中", "文", "\xe4", "\xb8", "\t", "x"};
    std::string s;
    const size_t n = std::uniform_int_distribution<size_t>(0, max_len)(rng_);
    while (s.size() < n)
      s += atoms[std::uniform_int_distribution<size_t>(0, atoms.size() - 1)(rng_)];
    return s;
  }

  std::string RandomHex(size_t n) { return testing_support::RandomHex(rng_, n); }

  int64_t RandomPos() { return std::uniform_int_distribution<int64_t>(0, text_.Length())(rng_); }

  void RunScript(int steps, bool hex_heavy) {
    std::vector<std::string> history;
    for (int step = 0; step < steps; ++step) {
      const int op = std::uniform_int_distribution<int>(0, 99)(rng_);
      std::string what;
      if (op < 35) {
        const int64_t pos = RandomPos();
        const std::string piece = hex_heavy && op < 20 ? RandomHex(rng_() % 8) : RandomPiece(12);
        what = "insert at " + std::to_string(pos);
        Edit(pos, 0, piece);
      } else if (op < 60) {
        const int64_t pos = RandomPos();
        const int64_t count = std::uniform_int_distribution<int64_t>(0, 60)(rng_);
        what = "delete at " + std::to_string(pos);
        Edit(pos, std::min(count, text_.Length() - pos), "");
      } else if (op < 72) {
        const int64_t pos = RandomPos();
        const int64_t count = std::uniform_int_distribution<int64_t>(0, 8)(rng_);
        what = "overwrite at " + std::to_string(pos);
        Edit(pos, std::min(count, text_.Length() - pos), RandomPiece(6));
      } else if (op < 76) {
        const int64_t pos = RandomPos();
        what = "huge paste at " + std::to_string(pos);
        Edit(pos, 0, RandomHex(20000 + rng_() % 50000));
      } else if (op < 79) {
        const int64_t pos = RandomPos() / 2;
        what = "huge delete at " + std::to_string(pos);
        Edit(pos, std::min<int64_t>(text_.Length() - pos, 10000 + rng_() % 40000), "");
      } else if (op < 90) {
        what = "undo";
        if (undo_.CanUndo()) Undo();
      } else if (op < 93) {
        what = "replace all";
        Replace(hex_heavy ? RandomHex(rng_() % 30000) : RandomPiece(400));
      } else {
        static const int widths[] = {1, 3, 7, 11, 60, 200, 290, 1000};
        const int w = widths[rng_() % 8];
        what = "resize to " + std::to_string(w);
        layout_.SetWidth(w * 64);
        layout_.Rewrap(text_);
      }
      Check("step " + std::to_string(step) + ": " + what);
      if (HasFatalFailure()) return;
    }
  }

  TMemoAdvances advances_;
  TMemoLayout layout_;
  TMemoText text_;
  TMemoUndo undo_;
  std::string model_;
  std::mt19937_64 rng_{12345};
};

TEST_F(MemoModel, RandomMixedText) {
  for (const uint32_t seed : testing_support::TestSeeds({1u, 2u, 3u})) {
    SCOPED_TRACE(testing_support::AnnounceSeed(seed));
    rng_.seed(seed);
    Replace(RandomPiece(300));
    RunScript(400, false);
    if (HasFatalFailure()) return;
  }
}

TEST_F(MemoModel, RandomHexText) {
  for (const uint32_t seed : testing_support::TestSeeds({7u, 8u})) {
    SCOPED_TRACE(testing_support::AnnounceSeed(seed));
    rng_.seed(seed);
    Replace(RandomHex(100000));
    RunScript(250, true);
    if (HasFatalFailure()) return;
  }
}

// Uniform-width text never re-synchronises after an insert; the whole tail re-wraps.
TEST_F(MemoModel, UniformDigitsReWrapToTheEnd) {
  Replace(std::string(200000, '0'));
  Edit(5, 0, "1");
  Check("insert near the start");
  Edit(100001, 3, "");
  Check("delete in the middle");
  Edit(0, 0, "\r\n");
  Check("line break at the start");
  Undo();
  Undo();
  Undo();
  Check("undone");
  EXPECT_EQ(model_, std::string(200000, '0'));
}

TEST(MemoUndo, TypingAndBackspaceMergeUntilBroken) {
  TMemoUndo u;
  u.Record({0, "", 1, 0, 0}, TMemoEditKind::ekTyping);
  u.Record({1, "", 1, 0, 0}, TMemoEditKind::ekTyping);
  u.Record({2, "", 2, 0, 0}, TMemoEditKind::ekTyping);
  u.Break();
  u.Record({4, "", 1, 0, 0}, TMemoEditKind::ekTyping);
  u.Record({4, "x", 0, 0, 0}, TMemoEditKind::ekBackspace);
  u.Record({3, "y", 0, 0, 0}, TMemoEditKind::ekBackspace);
  TMemoEdit e = u.TakeUndo();
  EXPECT_EQ(e.pos, 3);
  EXPECT_EQ(e.removed, "yx");
  e = u.TakeUndo();
  EXPECT_EQ(e.inserted, 1);
  e = u.TakeUndo();
  EXPECT_EQ(e.pos, 0);
  EXPECT_EQ(e.inserted, 4);
  EXPECT_FALSE(u.CanUndo());
}

}  // namespace
}  // namespace qv
