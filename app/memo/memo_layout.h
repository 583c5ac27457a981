// Word wrap of the text box, for display only: an index of where each visual
// line starts, kept up to date edit by edit.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "app/memo/memo_text.h"

namespace qv {

// Where the visual lines start, 32 bits an entry while the text is below 4 GiB.
class TLineStarts {
 public:
  int64_t Size() const {
    return wide_ ? static_cast<int64_t>(w_.size()) : static_cast<int64_t>(n_.size());
  }
  int64_t operator[](int64_t i) const {
    return wide_ ? static_cast<int64_t>(w_[static_cast<size_t>(i)]) : n_[static_cast<size_t>(i)];
  }
  // Index of the last entry <= pos (entries ascend and the first is 0).
  int64_t Find(int64_t pos) const;
  void Reset(bool wide);
  void Widen();
  void PushBack(int64_t start);
  void ShrinkToFit();
  // Replaces entries [first, last) with `starts`, then adds delta to the entries after them.
  void Splice(int64_t first, int64_t last, const std::vector<int64_t>& starts, int64_t delta);
  int64_t Bytes() const;

 private:
  bool wide_ = false;
  std::vector<uint32_t> n_;
  std::vector<uint64_t> w_;
};

// Character advances in 1/64 pixel. The ASCII table is filled once; other characters
// are measured on first use and remembered.
class TMemoAdvances {
 public:
  using TMeasure = std::function<int32_t(char32_t)>;
  TMemoAdvances();
  explicit TMemoAdvances(TMeasure measure);
  // The widths known to `known`, measuring any other character with `measure`:
  // a copy for another thread, which must not share the original's measure.
  TMemoAdvances(const TMemoAdvances& known, TMeasure measure);

  int32_t Of(char32_t cp) const;
  // Advance of a byte that is a plain one-byte character; -1 for space, tab, CR, LF
  // and bytes of multi-byte characters, which need a closer look.
  int32_t Fast(unsigned char c) const { return fast_[c]; }
  const int32_t* FastTable() const { return fast_.data(); }
  int32_t TabStop() const { return tab_stop_; }

 private:
  TMeasure measure_;
  std::array<int32_t, 256> fast_{};
  int32_t tab_stop_ = 64;
  mutable std::unordered_map<char32_t, int32_t> cache_;
};

// Decodes the UTF-8 character at pos; a malformed byte counts as one U+FFFD.
char32_t DecodeMemoChar(const TMemoText& text, int64_t pos, int* length);
// True for characters between which a line may break without a space (CJK).
bool IsMemoBreakAnywhere(char32_t cp);

class TMemoLayout {
 public:
  static constexpr int64_t kNoLine = -1;

  // The advances must outlive the layout.
  void SetAdvances(const TMemoAdvances* advances) { advances_ = advances; }
  const TMemoAdvances* Advances() const { return advances_; }
  // Width available to text in 1/64 pixel; at least one character goes on every line.
  void SetWidth(int32_t width) { width_ = width; }
  int32_t Width() const { return width_; }

  // Wraps the whole text anew.
  void Rewrap(const TMemoText& text);
  // After `removed` bytes at pos were replaced by `inserted` bytes: re-wraps from the
  // line before the edit until the line starts agree with the old ones again.
  void Update(const TMemoText& text, int64_t pos, int64_t removed, int64_t inserted);

  int64_t LineCount() const { return starts_.Size(); }
  int64_t LineStart(int64_t line) const { return starts_[line]; }
  // Start of the next line, or the text's length for the last line.
  int64_t LineLimit(const TMemoText& text, int64_t line) const {
    return line + 1 < starts_.Size() ? starts_[line + 1] : text.Length();
  }
  // End of the line's characters: before its CR LF, LF or CR if it has one.
  int64_t LineEnd(const TMemoText& text, int64_t line) const;
  // True when the line ends by wrapping rather than by a line break or the end of text.
  bool IsSoftBreak(const TMemoText& text, int64_t line) const;
  int64_t LineOf(int64_t pos) const { return starts_.Find(pos); }

  // Where the visual line that starts at `start` ends, i.e. where the next begins;
  // kNoLine when it is the last line of the text.
  int64_t NextLineStart(const TMemoText& text, int64_t start) const;
  // Advance of the character at pos drawn at x (tabs depend on x); sets its byte length.
  int32_t AdvanceAt(const TMemoText& text, int64_t pos, int32_t x, int* length) const;

  const TLineStarts& Starts() const { return starts_; }

 private:
  int64_t Overflow(const TMemoText& text, int64_t start, int64_t at, int64_t brk) const;

  const TMemoAdvances* advances_ = nullptr;
  int32_t width_ = 64;
  TLineStarts starts_;
};

}  // namespace qv
