// The text box's document without a display: caret and word rules, the key
// commands, and editing with undo. Every ASCII character is 10 pixels wide,
// CJK characters 20.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/memo/memo_document.h"
#include "memo_test_advances.h"

namespace qv {
namespace {

using testing_memo::HandAdvance;

// A document holding `text`, wrapped at `width_px`.
class TDoc {
 public:
  explicit TDoc(const std::string& text, int width_px = 1000) : advances_(HandAdvance) {
    doc.SetAdvances(&advances_);
    doc.SetWrapWidth(width_px * 64);
    doc.SetText(text);
  }
  TMemoAdvances advances_;
  TMemoDocument doc;
};

TEST(MemoDocument, CharacterAndWordSteps) {
  enum TStep { kAlign, kNextChar, kPrevChar, kNextWord, kPrevWord };
  const struct {
    const char* text;
    TStep step;
    int64_t from;
    int64_t to;
  } cases[] = {
      {"ab\r\ncd", kNextChar, 2, 4},  // CR LF is one step
      {"ab\r\ncd", kPrevChar, 4, 2},
      {"ab\r\ncd", kAlign, 3, 2},
      {"ab\rcd", kNextChar, 2, 3},  // a lone CR is a character of its own
      {"a\xE4\xB8\xAD"
       "b",
       kNextChar, 1, 4},  // a three-byte character
      {"a\xE4\xB8\xAD"
       "b",
       kPrevChar, 4, 1},
      {"a\xE4\xB8\xAD"
       "b",
       kAlign, 3, 1},
      {"a\xE4\xB8\xAD"
       "b",
       kAlign, 99, 5},
      {"ab", kPrevChar, 0, 0},
      {"ab", kNextChar, 2, 2},
      {"one two  three", kNextWord, 0, 4},  // the rest of the word and the blanks after it
      {"one two  three", kNextWord, 1, 4},
      {"one two  three", kNextWord, 4, 9},
      {"one two  three", kNextWord, 9, 14},
      {"one two  three", kPrevWord, 14, 9},
      {"one two  three", kPrevWord, 9, 4},  // back over blanks, then the word
      {"one two  three", kPrevWord, 5, 4},
      {"one\r\ntwo", kNextWord, 0, 5},  // line breaks are blanks
      {"one\r\ntwo", kPrevWord, 5, 0},
  };
  for (const auto& c : cases) {
    TDoc d(c.text);
    const TMemoDocument& doc = d.doc;
    const std::function<int64_t(int64_t)> steps[] = {
        [&](int64_t p) { return doc.Align(p); }, [&](int64_t p) { return doc.NextChar(p); },
        [&](int64_t p) { return doc.PrevChar(p); }, [&](int64_t p) { return doc.NextWord(p); },
        [&](int64_t p) { return doc.PrevWord(p); }};
    EXPECT_EQ(steps[c.step](c.from), c.to) << c.text << " step " << c.step << " from " << c.from;
  }
}

TEST(MemoDocument, WordsForDoubleClickAndForAssistiveTools) {
  const struct {
    const char* text;
    int width_px;
    int64_t pos;
    int64_t word_begin, word_end;        // WordAt: a run of word characters or of blanks
    int64_t in_line_begin, in_line_end;  // WordInLine: with the blanks after, within the line
  } cases[] = {
      {"one two  three", 1000, 5, 4, 7, 4, 9},
      {"one two  three", 1000, 7, 7, 9, 4, 9},
      {"one two  three", 1000, 14, 9, 14, 9, 14},
      {"abcdefghij", 50, 2, 0, 10, 0, 5},  // wrapped inside the word at 5
      {"abcdefghij", 50, 7, 0, 10, 5, 10},
      {"abcd efgh", 50, 6, 5, 9, 5, 9},
  };
  for (const auto& c : cases) {
    TDoc d(c.text, c.width_px);
    int64_t b = -1, e = -1;
    d.doc.WordAt(c.pos, &b, &e);
    EXPECT_EQ(b, c.word_begin) << c.text << " at " << c.pos;
    EXPECT_EQ(e, c.word_end) << c.text << " at " << c.pos;
    d.doc.WordInLine(c.pos, &b, &e);
    EXPECT_EQ(b, c.in_line_begin) << c.text << " at " << c.pos << " in its line";
    EXPECT_EQ(e, c.in_line_end) << c.text << " at " << c.pos << " in its line";
  }
}

TEST(MemoDocument, KeyCommandsMoveTheCaretAndAnchor) {
  using TCommand = std::function<void(TMemoDocument&)>;
  const struct {
    const char* what;
    std::string text;
    int width_px;
    int64_t anchor, caret;  // before
    TCommand command;
    int64_t anchor_after, caret_after;
    int64_t caret_line;  // the visual line the caret shows on
  } cases[] = {
      {"Left collapses a selection to its start", "abcdef", 1000, 1, 4,
       [](TMemoDocument& d) { d.MoveLeft(false, false); }, 1, 1, 0},
      {"Right collapses a selection to its end", "abcdef", 1000, 4, 1,
       [](TMemoDocument& d) { d.MoveRight(false, false); }, 4, 4, 0},
      {"Shift+Left extends by a character", "abcdef", 1000, 4, 4,
       [](TMemoDocument& d) { d.MoveLeft(false, true); }, 4, 3, 0},
      {"Ctrl+Left from inside a selection moves by a word", "one two", 1000, 7, 6,
       [](TMemoDocument& d) { d.MoveLeft(true, false); }, 4, 4, 0},
      {"Ctrl+Shift+Right extends by a word", "one two", 1000, 0, 0,
       [](TMemoDocument& d) { d.MoveRight(true, true); }, 0, 4, 0},
      {"End of a wrapped line stays on that line", "abcdefghij", 50, 2, 2,
       [](TMemoDocument& d) { d.MoveEnd(false, false); }, 5, 5, 0},
      {"Home from the end of a wrapped line goes to its start", "abcdefghij", 50, 2, 2,
       [](TMemoDocument& d) {
         d.MoveEnd(false, false);
         d.MoveHome(false, false);
       },
       0, 0, 0},
      {"End before a line break", "ab\r\ncd", 1000, 0, 0,
       [](TMemoDocument& d) { d.MoveEnd(false, false); }, 2, 2, 0},
      {"Ctrl+End and Ctrl+Shift+Home", "ab\r\ncd", 1000, 0, 0,
       [](TMemoDocument& d) {
         d.MoveEnd(true, false);
         d.MoveHome(true, true);
       },
       6, 0, 0},
      {"Down keeps the column over a shorter line", "abcdef\r\nab\r\nabcdef", 1000, 5, 5,
       [](TMemoDocument& d) {
         d.MoveVertically(1, false);
         d.MoveVertically(1, false);
       },
       17, 17, 2},
      {"Down onto the short line stops at its end", "abcdef\r\nab\r\nabcdef", 1000, 5, 5,
       [](TMemoDocument& d) { d.MoveVertically(1, true); }, 5, 10, 1},
      {"Up past the first line stays on it", "abcdef\r\nab", 1000, 9, 9,
       [](TMemoDocument& d) { d.MoveVertically(-5, false); }, 1, 1, 0},
      {"a selection is set on character boundaries",
       "a\xE4\xB8\xAD"
       "b",
       1000, 0, 0, [](TMemoDocument& d) { d.SetSelection(2, 5); }, 1, 5, 0},
      {"a click at a wrap point may show on the upper line", "abcdefghij", 50, 0, 0,
       [](TMemoDocument& d) { d.Click(5, true, false); }, 5, 5, 0},
      {"a shift-click extends", "abcdefghij", 50, 2, 2,
       [](TMemoDocument& d) { d.Click(7, false, true); }, 2, 7, 1},
  };
  for (const auto& c : cases) {
    TDoc d(c.text, c.width_px);
    d.doc.SetSelection(c.anchor, c.caret);
    c.command(d.doc);
    EXPECT_EQ(d.doc.Anchor(), c.anchor_after) << c.what;
    EXPECT_EQ(d.doc.Caret(), c.caret_after) << c.what;
    EXPECT_EQ(d.doc.CaretLine(), c.caret_line) << c.what;
  }
}

TEST(MemoDocument, EditingAndUndo) {
  using TCommand = std::function<bool(TMemoDocument&)>;
  const struct {
    const char* what;
    std::string text;
    int64_t anchor, caret;
    TCommand command;
    bool changed;
    std::string text_after;
    int64_t anchor_after, caret_after;
  } cases[] = {
      {"Backspace takes a CR LF whole", "ab\r\ncd", 4, 4,
       [](TMemoDocument& d) { return d.Backspace(false); }, true, "abcd", 2, 2},
      {"Ctrl+Backspace takes the word before", "one two", 7, 7,
       [](TMemoDocument& d) { return d.Backspace(true); }, true, "one ", 4, 4},
      {"Delete takes a whole character",
       "a\xE4\xB8\xAD"
       "b",
       1, 1, [](TMemoDocument& d) { return d.DeleteForward(false); }, true, "ab", 1, 1},
      {"Ctrl+Delete takes the word and its blanks", "one two", 0, 0,
       [](TMemoDocument& d) { return d.DeleteForward(true); }, true, "two", 0, 0},
      {"Backspace with a selection deletes it", "abcdef", 1, 4,
       [](TMemoDocument& d) { return d.Backspace(false); }, true, "aef", 1, 1},
      {"Backspace at the start changes nothing", "ab", 0, 0,
       [](TMemoDocument& d) { return d.Backspace(false); }, false, "ab", 0, 0},
      {"Delete at the end changes nothing", "ab", 2, 2,
       [](TMemoDocument& d) { return d.DeleteForward(false); }, false, "ab", 2, 2},
      {"typing replaces the selection", "one two", 4, 7,
       [](TMemoDocument& d) { return d.ReplaceSelection("2", TMemoEditKind::ekTyping); }, true,
       "one 2", 5, 5},
      {"a range is aligned to characters",
       "a\xE4\xB8\xAD"
       "b",
       0, 0, [](TMemoDocument& d) { return d.ReplaceRange(2, 2, "x"); }, true, "axb", 2, 2},
      {"typing merges into one undo step, which restores the selection", "one two", 4, 7,
       [](TMemoDocument& d) {
         d.ReplaceSelection("x", TMemoEditKind::ekTyping);
         d.ReplaceSelection("y", TMemoEditKind::ekTyping);
         return d.Undo();
       },
       true, "one two", 4, 7},
      {"a caret move ends the typing step", "ab", 2, 2,
       [](TMemoDocument& d) {
         d.ReplaceSelection("x", TMemoEditKind::ekTyping);
         d.MoveLeft(false, false);
         d.MoveRight(false, false);
         d.ReplaceSelection("y", TMemoEditKind::ekTyping);
         return d.Undo();
       },
       true, "abx", 3, 3},
      {"redo puts the caret after what it puts back", "one two", 4, 7,
       [](TMemoDocument& d) {
         d.ReplaceSelection("2");
         d.Undo();
         return d.Redo();
       },
       true, "one 2", 5, 5},
      {"nothing to undo", "ab", 1, 1, [](TMemoDocument& d) { return d.Undo(); }, false, "ab", 1, 1},
  };
  for (const auto& c : cases) {
    TDoc d(c.text, 1000);
    d.doc.SetSelection(c.anchor, c.caret);
    EXPECT_EQ(c.command(d.doc), c.changed) << c.what;
    EXPECT_EQ(d.doc.Text().Str(), c.text_after) << c.what;
    EXPECT_EQ(d.doc.Anchor(), c.anchor_after) << c.what;
    EXPECT_EQ(d.doc.Caret(), c.caret_after) << c.what;
    // The layout follows every edit as a fresh wrap would.
    TDoc fresh(c.text_after, 1000);
    EXPECT_EQ(d.doc.Layout().LineCount(), fresh.doc.Layout().LineCount()) << c.what;
  }
}

// A text prepared elsewhere and taken in wraps as SetText wraps it: as
// prepared when the width and the widths match, wrapped again when the width
// differs or the caller says the widths changed (here: prepared with widths
// half as large). Undo, caret and selection start afresh.
TEST(MemoDocument, TakenContentWrapsAsSetText) {
  const std::string texts[] = {
      std::string(2000, 'F'), "one two three four five six seven eight nine ten",
      "\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD\xE6\x96\x87 a\tb\r\nc\rd\n", ""};
  const TMemoAdvances narrow([](char32_t cp) { return HandAdvance(cp) / 2; });
  const struct {
    int prepared_px;
    bool narrow_widths;
    bool rewrap;
  } cases[] = {{100, false, false}, {60, false, false}, {100, true, true}};
  for (const std::string& text : texts) {
    for (const auto& c : cases) {
      const TDoc reference(text, 100);
      TDoc d("old text", 100);
      d.doc.ReplaceSelection("x");
      const TMemoAdvances own(d.advances_, HandAdvance);
      TMemoContent content =
          TMemoContent::Prepare(text, c.narrow_widths ? &narrow : &own, c.prepared_px * 64);
      d.doc.TakeContent(content, c.rewrap);
      const TLineStarts& got = d.doc.Layout().Starts();
      const TLineStarts& want = reference.doc.Layout().Starts();
      ASSERT_EQ(got.Size(), want.Size()) << text << " " << c.prepared_px;
      for (int64_t i = 0; i < got.Size(); ++i) ASSERT_EQ(got[i], want[i]) << text << " line " << i;
      EXPECT_EQ(d.doc.Text().Str(), text);
      EXPECT_EQ(d.doc.Layout().Advances(), &d.advances_);
      EXPECT_FALSE(d.doc.CanUndo());
      EXPECT_EQ(d.doc.Caret(), 0);
      EXPECT_FALSE(d.doc.HasSelection());
      EXPECT_EQ(content.text->Str(), "xold text");
    }
  }
}

// Taken in as an edit, the prepared text is one undo step after the earlier
// edits: undo gives back the old text, its wrap and its selection; redo the new.
TEST(MemoDocument, ContentTakenAsAnEditUndoesInOneStep) {
  const std::string old_text = "one two three four five six seven eight nine ten";
  const std::string new_text = "FFD8FFE000104A464946000101010048";
  TDoc d("old", 100);
  d.doc.SetSelection(0, 3);
  d.doc.ReplaceSelection(old_text);
  d.doc.SetSelection(4, 7);
  const TMemoAdvances own(d.advances_, HandAdvance);
  TMemoContent content = TMemoContent::Prepare(new_text, &own, 100 * 64);
  d.doc.TakeContentAsEdit(content, d.doc.Text().Str(), false);
  EXPECT_EQ(d.doc.Text().Str(), new_text);
  EXPECT_EQ(d.doc.Caret(), 0);
  EXPECT_FALSE(d.doc.HasSelection());
  EXPECT_EQ(d.doc.Layout().LineCount(), TDoc(new_text, 100).doc.Layout().LineCount());
  ASSERT_TRUE(d.doc.Undo());
  EXPECT_EQ(d.doc.Text().Str(), old_text);
  EXPECT_EQ(d.doc.Anchor(), 4);
  EXPECT_EQ(d.doc.Caret(), 7);
  EXPECT_EQ(d.doc.Layout().LineCount(), TDoc(old_text, 100).doc.Layout().LineCount());
  ASSERT_TRUE(d.doc.Redo());
  EXPECT_EQ(d.doc.Text().Str(), new_text);
  ASSERT_TRUE(d.doc.Undo());
  ASSERT_TRUE(d.doc.Undo());  // the edit before it
  EXPECT_EQ(d.doc.Text().Str(), "old");
}

}  // namespace
}  // namespace qv
