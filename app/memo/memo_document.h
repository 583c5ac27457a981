// The text box's document: the text, its wrapped layout, undo, the caret and
// the selection, and the editing commands the keys and the menu stand for.
// It knows nothing of the screen: the view (TMemo) turns events into these
// commands, then scrolls, repaints and tells assistive tools. Positions are
// byte offsets that never split a character or a CR LF.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/memo/memo_layout.h"
#include "app/memo/memo_text.h"
#include "app/memo/memo_undo.h"

namespace qv {

// Blanks between words: space, tab, CR, LF.
inline bool IsMemoSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A whole text with its wrap index, made ready on any thread (Prepare) and
// taken over by a document in constant time (TakeContent).
struct TMemoContent {
  std::unique_ptr<TMemoText> text;
  TMemoLayout layout;

  // Takes over the string's buffer and wraps it at `width` (1/64 px) with
  // `advances`, which the caller keeps for this thread alone while it runs.
  static TMemoContent Prepare(std::string text, const TMemoAdvances* advances, int32_t width);
};

class TMemoDocument {
 public:
  TMemoDocument() = default;

  // ---- text and layout ----
  const TMemoText& Text() const { return *text_; }
  const TMemoLayout& Layout() const { return layout_; }
  int64_t Length() const { return text_->Length(); }
  // Replaces the whole text, taking over the string's buffer; clears undo and
  // selection and puts the caret at the start.
  void SetText(std::string text);
  // The same with a text wrapped already: swaps it in with its index, which
  // keeps this document's advances; it is wrapped anew only when it was
  // wrapped at another width or `rewrap` says the widths differ. The old text
  // and index go back in `content`, to be freed wherever that costs nothing.
  void TakeContent(TMemoContent& content, bool rewrap);
  // The same as one undoable edit: `old_text`, a copy of the whole text as it
  // stands, goes into the undo history by move, so that nothing of either
  // text is copied here. The caret goes to the start.
  void TakeContentAsEdit(TMemoContent& content, std::string old_text, bool rewrap);
  // Widths come from `advances` (kept by the caller); lines wrap at `width`
  // (1/64 px). A new width, or a layout without lines, re-wraps everything.
  void SetAdvances(const TMemoAdvances* advances) { layout_.SetAdvances(advances); }
  void SetWrapWidth(int32_t width);
  // Makes the next SetWrapWidth re-wrap whatever the width (the advances changed).
  void InvalidateWrap() { layout_.SetWidth(-1); }
  // Bytes of memory held for the text and its index.
  int64_t MemoryBytes() const { return text_->Capacity() + layout_.Starts().Bytes(); }

  // ---- positions ----
  // Moves pos back to the start of the character (and of a CR LF) it is in.
  int64_t Align(int64_t pos) const;
  int64_t NextChar(int64_t pos) const;
  int64_t PrevChar(int64_t pos) const;
  // Ctrl+Right: past the rest of the word and the blanks after it.
  int64_t NextWord(int64_t pos) const;
  // Ctrl+Left: back over blanks, then to the start of the word.
  int64_t PrevWord(int64_t pos) const;
  // The run of word characters, or of blanks, that holds pos (double click).
  void WordAt(int64_t pos, int64_t* begin, int64_t* end) const;
  // The word at pos with the blanks after it, kept within pos's visual line.
  void WordInLine(int64_t pos, int64_t* begin, int64_t* end) const;
  // Distance of pos from its line's start, 1/64 px.
  int32_t XOf(int64_t line, int64_t pos) const;
  // The position in `line` nearest to x (1/64 px from the line's start).
  int64_t PosInLine(int64_t line, int32_t x) const;
  // The caret's visual line: a caret at a wrap point may show at the end of
  // the upper line.
  int64_t CaretLine() const;

  // ---- caret and selection ----
  int64_t Caret() const { return caret_; }
  int64_t Anchor() const { return anchor_; }
  int64_t SelStart() const { return std::min(caret_, anchor_); }
  int64_t SelEnd() const { return std::max(caret_, anchor_); }
  bool HasSelection() const { return caret_ != anchor_; }
  std::string SelectedText() const { return text_->Mid(SelStart(), SelEnd() - SelStart()); }
  // Sets anchor and caret (each moved back onto a character boundary).
  void SetSelection(int64_t anchor, int64_t caret);
  void SelectAll() { SetSelection(0, text_->Length()); }
  // Left and Right: collapse a selection to its side, else one character (or
  // word) over; with `extend` the anchor stays.
  void MoveLeft(bool word, bool extend);
  void MoveRight(bool word, bool extend);
  // Up and Down by `lines` visual lines, keeping the column of the first move.
  void MoveVertically(int64_t lines, bool extend);
  // Home and End: the visual line's ends, or the text's with `whole_text`.
  void MoveHome(bool whole_text, bool extend);
  void MoveEnd(bool whole_text, bool extend);
  // A click at pos; `at_line_end` shows a caret at a wrap point on the upper line.
  void Click(int64_t pos, bool at_line_end, bool extend);
  // A selection drag reaching pos (already a character boundary); the anchor
  // stays, and so does a caret shown at a line end when `keep_line_end`.
  void DragTo(int64_t pos, bool keep_line_end);
  // Caret and anchor at pos, as a middle-button paste puts them.
  void PlaceCaret(int64_t pos) { caret_ = anchor_ = pos; }

  // ---- editing ----
  // Each returns true when the text changed; the caret ends after what went in.
  // Replaces the selection as one edit of `kind` (typing merges with typing).
  bool ReplaceSelection(std::string_view insert, TMemoEditKind kind = TMemoEditKind::ekOther);
  // Replaces count bytes at pos (aligned to characters) as one edit.
  bool ReplaceRange(int64_t pos, int64_t count, std::string_view insert);
  bool DeleteSelection();
  // Backspace and Delete: the selection, else one character (or word) back or on.
  bool Backspace(bool word);
  bool DeleteForward(bool word);
  bool CanUndo() const { return undo_.CanUndo(); }
  bool CanRedo() const { return undo_.CanRedo(); }
  // Undo puts back the text and the selection from before the edit; Redo puts
  // the caret after the text it puts back.
  bool Undo();
  bool Redo();

 private:
  // Replaces [pos, pos + count) with insert, recording undo; caret goes after the insert.
  void Edit(int64_t pos, int64_t count, std::string_view insert, TMemoEditKind kind);
  void ApplyRaw(int64_t pos, int64_t count, std::string_view insert);
  // Swaps in a prepared text and its index, wrapping it again when needed.
  void SwapContent(TMemoContent& content, bool rewrap);
  void MoveCaret(int64_t pos, bool extend);
  void ResetState();

  std::unique_ptr<TMemoText> text_ = std::make_unique<TMemoText>();
  TMemoLayout layout_;
  TMemoUndo undo_;
  int64_t caret_ = 0;
  int64_t anchor_ = 0;
  bool caret_at_line_end_ = false;  // caret at a wrap point shows at the end of the upper line
  int32_t goal_x_ = -1;             // column kept by Up/Down, 1/64 px
};

}  // namespace qv
