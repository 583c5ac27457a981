#include "app/memo/memo_document.h"

#include <utility>

namespace qv {

// ---- text and layout ----

TMemoContent TMemoContent::Prepare(std::string text, const TMemoAdvances* advances, int32_t width) {
  TMemoContent content;
  content.text = std::make_unique<TMemoText>();
  content.text->Assign(std::move(text));
  content.layout.SetAdvances(advances);
  content.layout.SetWidth(width);
  content.layout.Rewrap(*content.text);
  return content;
}

void TMemoDocument::ResetState() {
  undo_.Clear();
  caret_ = anchor_ = 0;
  caret_at_line_end_ = false;
  goal_x_ = -1;
}

void TMemoDocument::SetText(std::string text) {
  text_->Assign(std::move(text));
  ResetState();
  layout_.Rewrap(*text_);
}

void TMemoDocument::TakeContent(TMemoContent& content, bool rewrap) {
  SwapContent(content, rewrap);
  ResetState();
}

void TMemoDocument::TakeContentAsEdit(TMemoContent& content, std::string old_text, bool rewrap) {
  TMemoEdit record{0, std::move(old_text), content.text->Length(), caret_, anchor_};
  SwapContent(content, rewrap);
  undo_.Record(std::move(record), TMemoEditKind::ekOther);
  undo_.Break();
  caret_ = anchor_ = 0;
  caret_at_line_end_ = false;
  goal_x_ = -1;
}

void TMemoDocument::SwapContent(TMemoContent& content, bool rewrap) {
  const TMemoAdvances* advances = layout_.Advances();
  const int32_t width = layout_.Width();
  const bool same_wrap = !rewrap && content.layout.Width() == width;
  std::swap(text_, content.text);
  std::swap(layout_, content.layout);
  layout_.SetAdvances(advances);
  content.layout.SetAdvances(nullptr);
  if (!same_wrap) {
    layout_.SetWidth(width);
    layout_.Rewrap(*text_);
  }
}

void TMemoDocument::SetWrapWidth(int32_t width) {
  if (width != layout_.Width() || layout_.LineCount() == 0) {
    layout_.SetWidth(width);
    layout_.Rewrap(*text_);
  }
}

// ---- positions ----

int64_t TMemoDocument::Align(int64_t pos) const {
  const int64_t len = text_->Length();
  pos = std::clamp<int64_t>(pos, 0, len);
  if (pos == 0 || pos == len) return pos;
  if (text_->At(pos) == '\n' && text_->At(pos - 1) == '\r') return pos - 1;
  int64_t q = pos;
  while (q > 0 && pos - q < 3 && (static_cast<unsigned char>(text_->At(q)) & 0xC0) == 0x80) --q;
  if (q < pos) {
    int length = 1;
    DecodeMemoChar(*text_, q, &length);
    if (q + length > pos) return q;
  }
  return pos;
}

int64_t TMemoDocument::NextChar(int64_t pos) const {
  const int64_t len = text_->Length();
  if (pos >= len) return len;
  if (text_->At(pos) == '\r' && pos + 1 < len && text_->At(pos + 1) == '\n') return pos + 2;
  int length = 1;
  DecodeMemoChar(*text_, pos, &length);
  return pos + length;
}

int64_t TMemoDocument::PrevChar(int64_t pos) const {
  if (pos <= 0) return 0;
  return Align(pos - 1);
}

int64_t TMemoDocument::NextWord(int64_t pos) const {
  const int64_t len = text_->Length();
  while (pos < len && !IsMemoSpace(text_->At(pos))) ++pos;
  while (pos < len && IsMemoSpace(text_->At(pos))) ++pos;
  return Align(pos);
}

int64_t TMemoDocument::PrevWord(int64_t pos) const {
  while (pos > 0 && IsMemoSpace(text_->At(pos - 1))) --pos;
  while (pos > 0 && !IsMemoSpace(text_->At(pos - 1))) --pos;
  return Align(pos);
}

void TMemoDocument::WordAt(int64_t pos, int64_t* begin, int64_t* end) const {
  const int64_t len = text_->Length();
  int64_t b = pos, e = pos;
  const bool space = pos < len && IsMemoSpace(text_->At(pos));
  while (b > 0 && IsMemoSpace(text_->At(b - 1)) == space) --b;
  while (e < len && IsMemoSpace(text_->At(e)) == space) ++e;
  *begin = Align(b);
  *end = Align(e);
}

void TMemoDocument::WordInLine(int64_t pos, int64_t* begin, int64_t* end) const {
  pos = std::clamp<int64_t>(pos, 0, text_->Length());
  const int64_t line = layout_.LineOf(pos);
  const int64_t line_start = layout_.LineStart(line);
  const int64_t line_limit = layout_.LineLimit(*text_, line);
  int64_t a = pos, b = pos;
  while (a > line_start && !IsMemoSpace(text_->At(a - 1))) --a;
  while (b < line_limit && !IsMemoSpace(text_->At(b))) ++b;
  while (b < line_limit && IsMemoSpace(text_->At(b))) ++b;
  *begin = Align(a);
  *end = Align(b);
}

int32_t TMemoDocument::XOf(int64_t line, int64_t pos) const {
  int32_t x = 0;
  const int64_t end = std::min(pos, layout_.LineEnd(*text_, line));
  for (int64_t p = layout_.LineStart(line); p < end;) {
    int length = 1;
    x += layout_.AdvanceAt(*text_, p, x, &length);
    p += length;
  }
  return x;
}

int64_t TMemoDocument::PosInLine(int64_t line, int32_t x) const {
  const int64_t end = layout_.LineEnd(*text_, line);
  int32_t cx = 0;
  int64_t p = layout_.LineStart(line);
  while (p < end) {
    int length = 1;
    const int32_t a = layout_.AdvanceAt(*text_, p, cx, &length);
    if (x < cx + a / 2) return p;
    cx += a;
    p += length;
  }
  return end;
}

int64_t TMemoDocument::CaretLine() const {
  const int64_t line = layout_.LineOf(caret_);
  if (caret_at_line_end_ && line > 0 && caret_ == layout_.LineStart(line) &&
      layout_.IsSoftBreak(*text_, line - 1)) {
    return line - 1;
  }
  return line;
}

// ---- caret and selection ----

void TMemoDocument::SetSelection(int64_t anchor, int64_t caret) {
  anchor_ = Align(anchor);
  caret_ = Align(caret);
  caret_at_line_end_ = false;
  goal_x_ = -1;
  undo_.Break();
}

void TMemoDocument::MoveCaret(int64_t pos, bool extend) {
  caret_ = Align(pos);
  if (!extend) anchor_ = caret_;
  undo_.Break();
}

void TMemoDocument::MoveLeft(bool word, bool extend) {
  if (!extend && HasSelection() && !word) return MoveCaret(SelStart(), false);
  caret_at_line_end_ = false;
  goal_x_ = -1;
  MoveCaret(word ? PrevWord(caret_) : PrevChar(caret_), extend);
}

void TMemoDocument::MoveRight(bool word, bool extend) {
  if (!extend && HasSelection() && !word) return MoveCaret(SelEnd(), false);
  caret_at_line_end_ = false;
  goal_x_ = -1;
  MoveCaret(word ? NextWord(caret_) : NextChar(caret_), extend);
}

void TMemoDocument::MoveVertically(int64_t lines, bool extend) {
  const int64_t line = CaretLine();
  if (goal_x_ < 0) goal_x_ = XOf(line, caret_);
  const int64_t target = std::clamp<int64_t>(line + lines, 0, layout_.LineCount() - 1);
  const int64_t pos = PosInLine(target, goal_x_);
  caret_ = pos;
  caret_at_line_end_ =
      pos == layout_.LineEnd(*text_, target) && layout_.IsSoftBreak(*text_, target);
  if (!extend) anchor_ = caret_;
  undo_.Break();
}

void TMemoDocument::MoveHome(bool whole_text, bool extend) {
  goal_x_ = -1;
  const int64_t start = whole_text ? 0 : layout_.LineStart(CaretLine());
  caret_at_line_end_ = false;
  MoveCaret(start, extend);
}

void TMemoDocument::MoveEnd(bool whole_text, bool extend) {
  goal_x_ = -1;
  if (whole_text) {
    caret_at_line_end_ = false;
    return MoveCaret(text_->Length(), extend);
  }
  const int64_t line = CaretLine();
  const int64_t end = layout_.LineEnd(*text_, line);
  caret_at_line_end_ = layout_.IsSoftBreak(*text_, line);
  MoveCaret(end, extend);
}

void TMemoDocument::Click(int64_t pos, bool at_line_end, bool extend) {
  caret_at_line_end_ = at_line_end;
  goal_x_ = -1;
  caret_ = Align(pos);
  if (!extend) anchor_ = caret_;
  undo_.Break();
}

void TMemoDocument::DragTo(int64_t pos, bool keep_line_end) {
  caret_ = pos;
  if (!keep_line_end) caret_at_line_end_ = false;
}

// ---- editing ----

void TMemoDocument::ApplyRaw(int64_t pos, int64_t count, std::string_view insert) {
  text_->Replace(pos, count, insert);
  layout_.Update(*text_, pos, count, static_cast<int64_t>(insert.size()));
}

void TMemoDocument::Edit(int64_t pos, int64_t count, std::string_view insert, TMemoEditKind kind) {
  TMemoEdit record{pos, text_->Mid(pos, count), static_cast<int64_t>(insert.size()), caret_,
                   anchor_};
  ApplyRaw(pos, count, insert);
  undo_.Record(std::move(record), kind);
  caret_ = anchor_ = pos + static_cast<int64_t>(insert.size());
  caret_at_line_end_ = false;
  goal_x_ = -1;
}

bool TMemoDocument::ReplaceSelection(std::string_view insert, TMemoEditKind kind) {
  Edit(SelStart(), SelEnd() - SelStart(), insert, kind);
  return true;
}

bool TMemoDocument::ReplaceRange(int64_t pos, int64_t count, std::string_view insert) {
  const int64_t from = Align(pos);
  const int64_t to = Align(std::min(text_->Length(), pos + std::max<int64_t>(0, count)));
  Edit(from, std::max(from, to) - from, insert, TMemoEditKind::ekOther);
  return true;
}

bool TMemoDocument::DeleteSelection() {
  if (!HasSelection()) return false;
  Edit(SelStart(), SelEnd() - SelStart(), {}, TMemoEditKind::ekOther);
  return true;
}

bool TMemoDocument::Backspace(bool word) {
  if (HasSelection()) return DeleteSelection();
  if (caret_ <= 0) return false;
  const int64_t from = word ? PrevWord(caret_) : PrevChar(caret_);
  Edit(from, caret_ - from, {}, TMemoEditKind::ekBackspace);
  return true;
}

bool TMemoDocument::DeleteForward(bool word) {
  if (HasSelection()) return DeleteSelection();
  if (caret_ >= text_->Length()) return false;
  const int64_t to = word ? NextWord(caret_) : NextChar(caret_);
  Edit(caret_, to - caret_, {}, TMemoEditKind::ekDelete);
  return true;
}

bool TMemoDocument::Undo() {
  if (!undo_.CanUndo()) return false;
  TMemoEdit e = undo_.TakeUndo();
  std::string now = text_->Mid(e.pos, e.inserted);
  ApplyRaw(e.pos, e.inserted, e.removed);
  undo_.PushRedo(
      TMemoEdit{e.pos, std::move(now), static_cast<int64_t>(e.removed.size()), caret_, anchor_});
  SetSelection(e.anchor_before, e.caret_before);
  return true;
}

bool TMemoDocument::Redo() {
  if (!undo_.CanRedo()) return false;
  TMemoEdit e = undo_.TakeRedo();
  std::string now = text_->Mid(e.pos, e.inserted);
  ApplyRaw(e.pos, e.inserted, e.removed);
  undo_.PushUndo(
      TMemoEdit{e.pos, std::move(now), static_cast<int64_t>(e.removed.size()), caret_, anchor_});
  const int64_t end = e.pos + static_cast<int64_t>(e.removed.size());
  SetSelection(end, end);
  return true;
}

}  // namespace qv
