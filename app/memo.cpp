#include "app/memo.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyleHints>
#include <algorithm>
#include <cmath>
#include <vector>

#include "app/memo_accessible.h"
#include "app/perf_trace.h"

namespace qv {

namespace {

// Input methods and assistive tools see at most this much text around the caret.
constexpr int64_t kSurroundBytes = 1024;

// Clipboard data made only when a reader asks: turning 20 million bytes into a
// QString happens at paste time, not at Ctrl+C. The primary selection reads the
// box's current selection, the clipboard a copy taken at the moment of copying.
class TMemoMimeData : public QMimeData {
 public:
  explicit TMemoMimeData(std::string bytes) : bytes_(std::move(bytes)) {}
  explicit TMemoMimeData(const TMemo* live) : live_(live), is_live_(true) {}

  QStringList formats() const override {
    return {QStringLiteral("text/plain"), QStringLiteral("text/plain;charset=utf-8")};
  }
  bool hasFormat(const QString& mime) const override { return formats().contains(mime); }

 protected:
  QVariant retrieveData(const QString& mime, QMetaType type) const override {
    if (!hasFormat(mime)) return {};
    std::string live_bytes;
    const std::string* bytes = &bytes_;
    if (is_live_) {
      if (live_) live_bytes = live_->SelectedText();
      bytes = &live_bytes;
    }
    if (type.id() == QMetaType::QString) {
      return QString::fromUtf8(bytes->data(), static_cast<qsizetype>(bytes->size()));
    }
    return QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()));
  }

 private:
  std::string bytes_;
  QPointer<const TMemo> live_;
  bool is_live_ = false;
};

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

TMemo::TMemo(QWidget* parent) : QAbstractScrollArea(parent) {
  InstallMemoAccessibility();
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  setAttribute(Qt::WA_KeyCompression, false);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  text_.Assign(std::string("\r\n"));
  caret_ = anchor_ = 2;
  ApplyFont();
}

TMemo::~TMemo() = default;

void TMemo::ApplyFont() {
  QFont f = font();
  f.setKerning(false);
  const QFontMetricsF fm(f);
  advances_ = std::make_unique<TMemoAdvances>([fm](char32_t cp) {
    const QString s = QString::fromUcs4(&cp, 1);
    return static_cast<int32_t>(std::lround(fm.horizontalAdvance(s) * 64));
  });
  layout_.SetAdvances(advances_.get());
  line_height_ = std::max(1, static_cast<int>(std::ceil(fm.height())));
  ascent_ = static_cast<int>(std::lround(fm.ascent()));
  raw_font_ = QRawFont::fromFont(f);
  QString ascii;
  for (int c = 0; c < 128; ++c) ascii.append(QChar(c));
  const QList<quint32> glyphs = raw_font_.glyphIndexesForString(ascii);
  for (int c = 0; c < 128 && c < glyphs.size(); ++c)
    ascii_glyphs_[static_cast<size_t>(c)] = glyphs[c];
  layout_.SetWidth(-1);  // forces the re-wrap below
  Relayout();
}

void TMemo::Relayout() {
  const int w = viewport()->width() - kMarginLeft - kMarginRight;
  const int32_t width = std::max(1, w) * 64;
  if (width != layout_.Width() || layout_.LineCount() == 0) {
    layout_.SetWidth(width);
    layout_.Rewrap(text_);
  }
  UpdateScrollBar();
  viewport()->update();
}

void TMemo::SetText(std::string text) {
  CheckUiThread("the text box (TMemo)");
  text_.Assign(std::move(text));
  undo_.Clear();
  caret_ = anchor_ = 0;
  caret_at_line_end_ = false;
  goal_x_ = -1;
  preedit_.clear();
  layout_.Rewrap(text_);
  UpdateScrollBar();
  verticalScrollBar()->setValue(0);
  viewport()->update();
  if (QAccessible::isActive()) {
    QAccessibleEvent ev(this, QAccessible::TextUpdated);
    QAccessible::updateAccessibility(&ev);
  }
}

int TMemo::VisibleLines() const {
  return std::max(1, (viewport()->height() - kMarginTop) / line_height_);
}

int64_t TMemo::TopLine() const {
  return verticalScrollBar()->value();
}

void TMemo::UpdateScrollBar() {
  const int64_t count = layout_.LineCount();
  const int visible = VisibleLines();
  const int64_t max = std::clamp<int64_t>(count - visible, 0, INT32_MAX);
  QScrollBar* bar = verticalScrollBar();
  bar->setRange(0, static_cast<int>(max));
  bar->setPageStep(visible);
  bar->setSingleStep(1);
}

void TMemo::scrollContentsBy(int, int) {
  viewport()->update();
}

void TMemo::resizeEvent(QResizeEvent*) {
  Relayout();
}

int64_t TMemo::MemoryBytes() const {
  return text_.Capacity() + layout_.Starts().Bytes();
}

// ---- positions ----

int64_t TMemo::Align(int64_t pos) const {
  const int64_t len = text_.Length();
  pos = std::clamp<int64_t>(pos, 0, len);
  if (pos == 0 || pos == len) return pos;
  if (text_.At(pos) == '\n' && text_.At(pos - 1) == '\r') return pos - 1;
  int64_t q = pos;
  while (q > 0 && pos - q < 3 && (static_cast<unsigned char>(text_.At(q)) & 0xC0) == 0x80) --q;
  if (q < pos) {
    int length = 1;
    DecodeMemoChar(text_, q, &length);
    if (q + length > pos) return q;
  }
  return pos;
}

int64_t TMemo::NextChar(int64_t pos) const {
  const int64_t len = text_.Length();
  if (pos >= len) return len;
  if (text_.At(pos) == '\r' && pos + 1 < len && text_.At(pos + 1) == '\n') return pos + 2;
  int length = 1;
  DecodeMemoChar(text_, pos, &length);
  return pos + length;
}

int64_t TMemo::PrevChar(int64_t pos) const {
  if (pos <= 0) return 0;
  return Align(pos - 1);
}

int64_t TMemo::NextWord(int64_t pos) const {
  const int64_t len = text_.Length();
  while (pos < len && !IsSpace(text_.At(pos))) ++pos;
  while (pos < len && IsSpace(text_.At(pos))) ++pos;
  return Align(pos);
}

int64_t TMemo::PrevWord(int64_t pos) const {
  while (pos > 0 && IsSpace(text_.At(pos - 1))) --pos;
  while (pos > 0 && !IsSpace(text_.At(pos - 1))) --pos;
  return Align(pos);
}

void TMemo::WordAt(int64_t pos, int64_t* begin, int64_t* end) const {
  const int64_t len = text_.Length();
  int64_t b = pos, e = pos;
  const bool space = pos < len && IsSpace(text_.At(pos));
  while (b > 0 && IsSpace(text_.At(b - 1)) == space) --b;
  while (e < len && IsSpace(text_.At(e)) == space) ++e;
  *begin = Align(b);
  *end = Align(e);
}

int32_t TMemo::XOf(int64_t line, int64_t pos) const {
  int32_t x = 0;
  const int64_t end = std::min(pos, layout_.LineEnd(text_, line));
  for (int64_t p = layout_.LineStart(line); p < end;) {
    int length = 1;
    x += layout_.AdvanceAt(text_, p, x, &length);
    p += length;
  }
  return x;
}

int64_t TMemo::PosInLine(int64_t line, int32_t x) const {
  const int64_t end = layout_.LineEnd(text_, line);
  int32_t cx = 0;
  int64_t p = layout_.LineStart(line);
  while (p < end) {
    int length = 1;
    const int32_t a = layout_.AdvanceAt(text_, p, cx, &length);
    if (x < cx + a / 2) return p;
    cx += a;
    p += length;
  }
  return end;
}

int64_t TMemo::CaretLine() const {
  const int64_t line = layout_.LineOf(caret_);
  if (caret_at_line_end_ && line > 0 && caret_ == layout_.LineStart(line) &&
      layout_.IsSoftBreak(text_, line - 1)) {
    return line - 1;
  }
  return line;
}

QRect TMemo::PosRect(int64_t pos) const {
  const int64_t line = pos == caret_ ? CaretLine() : layout_.LineOf(pos);
  const int64_t y = kMarginTop + (line - TopLine()) * line_height_;
  const int x = kMarginLeft + static_cast<int>(std::lround(XOf(line, pos) / 64.0));
  return QRect(x, static_cast<int>(std::clamp<int64_t>(y, -line_height_, INT32_MAX / 2)), 1,
               line_height_);
}

int64_t TMemo::PosAt(QPoint point) const {
  const int row = point.y() < kMarginTop ? -1 : (point.y() - kMarginTop) / line_height_;
  const int64_t line = std::clamp<int64_t>(TopLine() + row, 0, layout_.LineCount() - 1);
  return PosInLine(line, (point.x() - kMarginLeft) * 64);
}

// ---- caret and selection ----

void TMemo::SetSelection(int64_t anchor, int64_t caret) {
  CheckUiThread("the text box (TMemo)");
  anchor_ = Align(anchor);
  caret_ = Align(caret);
  caret_at_line_end_ = false;
  goal_x_ = -1;
  undo_.Break();
  EnsureCaretVisible();
  SelectionChanged();
}

void TMemo::SelectAll() {
  SetSelection(0, text_.Length());
}

void TMemo::MoveCaret(int64_t pos, bool extend) {
  caret_ = Align(pos);
  if (!extend) anchor_ = caret_;
  undo_.Break();
  EnsureCaretVisible();
  SelectionChanged();
}

void TMemo::SelectionChanged() {
  RestartBlink();
  viewport()->update();
  if (QAccessible::isActive()) {
    QAccessibleTextCursorEvent ev(this, static_cast<int>(std::min<int64_t>(caret_, INT32_MAX)));
    QAccessible::updateAccessibility(&ev);
  }
}

void TMemo::EnsureCaretVisible() {
  const int64_t line = CaretLine();
  const int64_t top = TopLine();
  const int visible = VisibleLines();
  QScrollBar* bar = verticalScrollBar();
  if (line < top) {
    bar->setValue(static_cast<int>(std::min<int64_t>(line, INT32_MAX)));
  } else if (line >= top + visible) {
    bar->setValue(static_cast<int>(std::min<int64_t>(line - visible + 1, INT32_MAX)));
  }
}

void TMemo::MoveVertically(int64_t lines, bool extend) {
  const int64_t line = CaretLine();
  if (goal_x_ < 0) goal_x_ = XOf(line, caret_);
  const int64_t target = std::clamp<int64_t>(line + lines, 0, layout_.LineCount() - 1);
  const int32_t goal = goal_x_;
  const int64_t pos = PosInLine(target, goal);
  caret_ = pos;
  caret_at_line_end_ = pos == layout_.LineEnd(text_, target) && layout_.IsSoftBreak(text_, target);
  if (!extend) anchor_ = caret_;
  undo_.Break();
  EnsureCaretVisible();
  SelectionChanged();
  goal_x_ = goal;
}

void TMemo::RestartBlink() {
  caret_on_ = true;
  const int flash = QApplication::cursorFlashTime();
  if (flash > 0 && hasFocus()) {
    blink_.start(flash / 2, this);
  } else {
    blink_.stop();
  }
}

void TMemo::timerEvent(QTimerEvent* e) {
  if (e->timerId() == blink_.timerId()) {
    caret_on_ = !caret_on_;
    viewport()->update(PosRect(caret_).adjusted(-1, 0, 1, 0));
  } else if (e->timerId() == drag_scroll_.timerId()) {
    const int h = viewport()->height();
    QScrollBar* bar = verticalScrollBar();
    if (last_mouse_.y() < 0) bar->setValue(bar->value() - 1);
    if (last_mouse_.y() >= h) bar->setValue(bar->value() + 1);
    const QPoint clamped(last_mouse_.x(), std::clamp(last_mouse_.y(), 0, std::max(0, h - 1)));
    caret_ = PosAt(clamped);
    SelectionChanged();
  } else {
    QAbstractScrollArea::timerEvent(e);
  }
}

// ---- editing ----

void TMemo::ApplyRaw(int64_t pos, int64_t count, std::string_view insert) {
  text_.Replace(pos, count, insert);
  layout_.Update(text_, pos, count, static_cast<int64_t>(insert.size()));
  UpdateScrollBar();
  if (QAccessible::isActive()) {
    QAccessibleEvent ev(this, QAccessible::TextUpdated);
    QAccessible::updateAccessibility(&ev);
  }
}

void TMemo::Edit(int64_t pos, int64_t count, std::string_view insert, TMemoEditKind kind) {
  TMemoEdit record{pos, text_.Mid(pos, count), static_cast<int64_t>(insert.size()), caret_,
                   anchor_};
  ApplyRaw(pos, count, insert);
  undo_.Record(std::move(record), kind);
  caret_ = anchor_ = pos + static_cast<int64_t>(insert.size());
  caret_at_line_end_ = false;
  goal_x_ = -1;
  EnsureCaretVisible();
  SelectionChanged();
}

void TMemo::ReplaceSelection(std::string_view insert) {
  CheckUiThread("the text box (TMemo)");
  Edit(SelStart(), SelEnd() - SelStart(), insert, TMemoEditKind::ekOther);
}

void TMemo::ReplaceRange(int64_t pos, int64_t count, std::string_view insert) {
  CheckUiThread("the text box (TMemo)");
  const int64_t from = Align(pos);
  const int64_t to = Align(std::min(text_.Length(), pos + std::max<int64_t>(0, count)));
  Edit(from, std::max(from, to) - from, insert, TMemoEditKind::ekOther);
}

void TMemo::DeleteSelection() {
  if (caret_ != anchor_) Edit(SelStart(), SelEnd() - SelStart(), {}, TMemoEditKind::ekOther);
}

void TMemo::Undo() {
  if (!undo_.CanUndo()) return;
  TMemoEdit e = undo_.TakeUndo();
  std::string now = text_.Mid(e.pos, e.inserted);
  ApplyRaw(e.pos, e.inserted, e.removed);
  undo_.PushRedo(
      TMemoEdit{e.pos, std::move(now), static_cast<int64_t>(e.removed.size()), caret_, anchor_});
  SetSelection(e.anchor_before, e.caret_before);
}

void TMemo::Redo() {
  if (!undo_.CanRedo()) return;
  TMemoEdit e = undo_.TakeRedo();
  std::string now = text_.Mid(e.pos, e.inserted);
  ApplyRaw(e.pos, e.inserted, e.removed);
  undo_.PushUndo(
      TMemoEdit{e.pos, std::move(now), static_cast<int64_t>(e.removed.size()), caret_, anchor_});
  const int64_t end = e.pos + static_cast<int64_t>(e.removed.size());
  SetSelection(end, end);
}

QMimeData* TMemo::MakeMimeData(int64_t begin, int64_t end) const {
  return new TMemoMimeData(text_.Mid(begin, end - begin));
}

void TMemo::Copy() const {
  if (caret_ == anchor_) return;
  QApplication::clipboard()->setMimeData(MakeMimeData(SelStart(), SelEnd()), QClipboard::Clipboard);
}

void TMemo::Cut() {
  if (caret_ == anchor_) return;
  Copy();
  DeleteSelection();
}

void TMemo::PasteText(const QString& text) {
  if (text.isEmpty()) return;
  const QByteArray bytes = text.toUtf8();
  Edit(SelStart(), SelEnd() - SelStart(), std::string_view(bytes.constData(), bytes.size()),
       TMemoEditKind::ekOther);
}

void TMemo::Paste() {
  PasteText(QApplication::clipboard()->text(QClipboard::Clipboard));
}

QMenu* TMemo::CreateContextMenu() {
  auto* menu = new QMenu(this);
  const bool has_selection = caret_ != anchor_;
  auto add = [&](const QString& text, const char* name, bool enabled, auto slot) {
    QAction* a = menu->addAction(text, this, slot);
    a->setObjectName(QString::fromLatin1(name));
    a->setEnabled(enabled);
  };
  add(QStringLiteral("撤消(&U)"), "undo", undo_.CanUndo(), [this] { Undo(); });
  menu->addSeparator();
  add(QStringLiteral("剪切(&T)"), "cut", has_selection, [this] { Cut(); });
  add(QStringLiteral("复制(&C)"), "copy", has_selection, [this] { Copy(); });
  const QMimeData* clip = QApplication::clipboard()->mimeData(QClipboard::Clipboard);
  add(QStringLiteral("粘贴(&P)"), "paste", clip && clip->hasText(), [this] { Paste(); });
  add(QStringLiteral("删除(&D)"), "delete", has_selection, [this] { DeleteSelection(); });
  menu->addSeparator();
  add(QStringLiteral("全选(&A)"), "selectAll", text_.Length() > 0 && SelEnd() - SelStart() < text_.Length(),
      [this] { SelectAll(); });
  return menu;
}

void TMemo::contextMenuEvent(QContextMenuEvent* e) {
  setFocus(Qt::OtherFocusReason);
  QMenu* menu = CreateContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(e->globalPos());
}

// ---- events ----

// Every way Qt calls into the box passes here: an error is reported, the edit that
// raised it has changed nothing, and the event counts as handled.
bool TMemo::Trap(const std::function<bool()>& handle) {
  try {
    return handle();
  } catch (const std::exception& error) {
    if (OnError) {
      OnError(error);
    } else {
      QApplication::beep();
    }
    return true;
  }
}

bool TMemo::viewportEvent(QEvent* e) {
  return Trap([&] { return QAbstractScrollArea::viewportEvent(e); });
}

bool TMemo::event(QEvent* e) {
  return Trap([&] { return HandleEvent(e); });
}

bool TMemo::HandleEvent(QEvent* e) {
  if (e->type() == QEvent::ShortcutOverride) {
    // Editing keys belong to the box, not to window shortcuts.
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->matches(QKeySequence::Copy) || k->matches(QKeySequence::Cut) ||
        k->matches(QKeySequence::Paste) || k->matches(QKeySequence::Undo) ||
        k->matches(QKeySequence::Redo) || k->matches(QKeySequence::SelectAll) ||
        (!k->text().isEmpty() && k->text().at(0).isPrint() &&
         !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))) {
      e->accept();
      return true;
    }
  }
  return QAbstractScrollArea::event(e);
}

void TMemo::keyPressEvent(QKeyEvent* e) {
  const bool shift = e->modifiers() & Qt::ShiftModifier;
  const bool ctrl = e->modifiers() & Qt::ControlModifier;
  if (e->matches(QKeySequence::Copy)) return Copy();
  if (e->matches(QKeySequence::Cut)) return Cut();
  if (e->matches(QKeySequence::Paste)) return Paste();
  if (e->matches(QKeySequence::Undo)) return Undo();
  if (e->matches(QKeySequence::Redo)) return Redo();
  if (e->matches(QKeySequence::SelectAll)) return SelectAll();
  switch (e->key()) {
    case Qt::Key_Left:
      if (!shift && caret_ != anchor_ && !ctrl) return MoveCaret(SelStart(), false);
      caret_at_line_end_ = false;
      goal_x_ = -1;
      return MoveCaret(ctrl ? PrevWord(caret_) : PrevChar(caret_), shift);
    case Qt::Key_Right:
      if (!shift && caret_ != anchor_ && !ctrl) return MoveCaret(SelEnd(), false);
      caret_at_line_end_ = false;
      goal_x_ = -1;
      return MoveCaret(ctrl ? NextWord(caret_) : NextChar(caret_), shift);
    case Qt::Key_Up:
      return MoveVertically(-1, shift);
    case Qt::Key_Down:
      return MoveVertically(1, shift);
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
      const int page = VisibleLines();
      const int sign = e->key() == Qt::Key_PageUp ? -1 : 1;
      QScrollBar* bar = verticalScrollBar();
      bar->setValue(bar->value() + sign * page);
      return MoveVertically(sign * page, shift);
    }
    case Qt::Key_Home: {
      goal_x_ = -1;
      const int64_t start = ctrl ? 0 : layout_.LineStart(CaretLine());
      caret_at_line_end_ = false;
      return MoveCaret(start, shift);
    }
    case Qt::Key_End: {
      goal_x_ = -1;
      if (ctrl) {
        caret_at_line_end_ = false;
        return MoveCaret(text_.Length(), shift);
      }
      const int64_t line = CaretLine();
      const int64_t end = layout_.LineEnd(text_, line);
      caret_at_line_end_ = layout_.IsSoftBreak(text_, line);
      return MoveCaret(end, shift);
    }
    case Qt::Key_Backspace:
      if (caret_ != anchor_) return DeleteSelection();
      if (caret_ > 0) {
        const int64_t from = ctrl ? PrevWord(caret_) : PrevChar(caret_);
        Edit(from, caret_ - from, {}, TMemoEditKind::ekBackspace);
      }
      return;
    case Qt::Key_Delete:
      if (caret_ != anchor_) return DeleteSelection();
      if (caret_ < text_.Length()) {
        const int64_t to = ctrl ? NextWord(caret_) : NextChar(caret_);
        Edit(caret_, to - caret_, {}, TMemoEditKind::ekDelete);
      }
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      Edit(SelStart(), SelEnd() - SelStart(), "\r\n", TMemoEditKind::ekTyping);
      return;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
      e->ignore();
      return;
    default:
      break;
  }
  const QString typed = e->text();
  if (!typed.isEmpty() && !(ctrl) &&
      std::all_of(typed.begin(), typed.end(), [](QChar c) { return c.isPrint(); })) {
    const QByteArray bytes = typed.toUtf8();
    Edit(SelStart(), SelEnd() - SelStart(), std::string_view(bytes.constData(), bytes.size()),
         TMemoEditKind::ekTyping);
    return;
  }
  e->ignore();
}

void TMemo::mousePressEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  if (e->button() == Qt::LeftButton) {
    const int64_t pos = PosAt(p);
    const int64_t line = layout_.LineOf(pos);
    // A click right of a wrapped line's end puts the caret there, not on the next line.
    const int row = std::max(0, (p.y() - kMarginTop) / line_height_);
    const int64_t clicked = std::clamp<int64_t>(TopLine() + row, 0, layout_.LineCount() - 1);
    caret_at_line_end_ = clicked != line;
    goal_x_ = -1;
    const bool extend = e->modifiers() & Qt::ShiftModifier;
    caret_ = Align(pos);
    if (!extend) anchor_ = caret_;
    undo_.Break();
    selecting_ = true;
    last_mouse_ = p;
    SelectionChanged();
  } else if (e->button() == Qt::MiddleButton && QApplication::clipboard()->supportsSelection()) {
    const int64_t pos = PosAt(p);
    caret_ = anchor_ = pos;
    PasteText(QApplication::clipboard()->text(QClipboard::Selection));
  }
}

void TMemo::mouseMoveEvent(QMouseEvent* e) {
  if (!selecting_) return;
  last_mouse_ = e->position().toPoint();
  const int h = viewport()->height();
  if (last_mouse_.y() < 0 || last_mouse_.y() >= h) {
    if (!drag_scroll_.isActive()) drag_scroll_.start(50, this);
    return;
  }
  drag_scroll_.stop();
  caret_ = PosAt(last_mouse_);
  caret_at_line_end_ = false;
  SelectionChanged();
}

void TMemo::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !selecting_) return;
  selecting_ = false;
  drag_scroll_.stop();
  QClipboard* clip = QApplication::clipboard();
  if (caret_ != anchor_ && clip->supportsSelection()) {
    clip->setMimeData(new TMemoMimeData(this), QClipboard::Selection);
  }
}

void TMemo::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  int64_t b = 0, end = 0;
  WordAt(PosAt(e->position().toPoint()), &b, &end);
  SetSelection(b, end);
  QClipboard* clip = QApplication::clipboard();
  if (caret_ != anchor_ && clip->supportsSelection()) {
    clip->setMimeData(new TMemoMimeData(this), QClipboard::Selection);
  }
}

void TMemo::focusInEvent(QFocusEvent* e) {
  RestartBlink();
  viewport()->update();
  QAbstractScrollArea::focusInEvent(e);
}

void TMemo::focusOutEvent(QFocusEvent* e) {
  blink_.stop();
  caret_on_ = false;
  selecting_ = false;
  drag_scroll_.stop();
  viewport()->update();
  QAbstractScrollArea::focusOutEvent(e);
}

void TMemo::changeEvent(QEvent* e) {
  if (e->type() == QEvent::FontChange) ApplyFont();
  QAbstractScrollArea::changeEvent(e);
}

// ---- input methods ----

void TMemo::inputMethodEvent(QInputMethodEvent* e) {
  const QString commit = e->commitString();
  if (!commit.isEmpty()) {
    const QByteArray bytes = commit.toUtf8();
    Edit(SelStart(), SelEnd() - SelStart(), std::string_view(bytes.constData(), bytes.size()),
         TMemoEditKind::ekOther);
  }
  preedit_ = e->preeditString();
  viewport()->update();
  e->accept();
}

QVariant TMemo::inputMethodQuery(Qt::InputMethodQuery query) const {
  // A window of text around the caret, never the whole text.
  const int64_t from = Align(std::max<int64_t>(0, caret_ - kSurroundBytes));
  const int64_t to = Align(std::min(text_.Length(), caret_ + kSurroundBytes));
  auto utf16_offset = [&](int64_t pos) {
    pos = std::clamp(pos, from, to);
    const std::string s = text_.Mid(from, pos - from);
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())).size();
  };
  auto window_text = [&](int64_t a, int64_t b) {
    a = std::clamp(a, from, to);
    b = std::clamp(b, from, to);
    const std::string s = text_.Mid(a, b - a);
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
  };
  switch (query) {
    case Qt::ImEnabled:
      return true;
    case Qt::ImCursorRectangle:
      return PosRect(caret_);
    case Qt::ImFont:
      return font();
    case Qt::ImHints:
      return static_cast<int>(Qt::ImhMultiLine);
    case Qt::ImSurroundingText:
      return window_text(from, to);
    case Qt::ImCursorPosition:
      return utf16_offset(caret_);
    case Qt::ImAnchorPosition:
      return utf16_offset(anchor_);
    case Qt::ImCurrentSelection:
      return window_text(SelStart(), SelEnd());
    case Qt::ImAbsolutePosition:
      return static_cast<qlonglong>(caret_);
    case Qt::ImTextBeforeCursor:
      return window_text(from, caret_);
    case Qt::ImTextAfterCursor:
      return window_text(caret_, to);
    case Qt::ImMaximumTextLength:
      return QVariant();
    default:
      return QAbstractScrollArea::inputMethodQuery(query);
  }
}

// ---- painting ----

void TMemo::DrawLine(QPainter& p, int64_t line, int y) const {
  const int64_t start = layout_.LineStart(line);
  const int64_t end = layout_.LineEnd(text_, line);
  const bool show_sel = hasFocus() && caret_ != anchor_;
  const int64_t sb = show_sel ? SelStart() : 0, se = show_sel ? SelEnd() : 0;
  std::vector<quint32> glyphs[2];
  std::vector<QPointF> points[2];
  struct TLoose {
    QPointF at;
    QString text;
    bool selected;
  };
  std::vector<TLoose> loose;  // characters the main font lacks: drawn with fallback fonts
  const qreal baseline = y + ascent_;
  int32_t x = 0, sel_x0 = -1, sel_x1 = -1;
  for (int64_t pos = start; pos < end;) {
    int length = 1;
    const int32_t a = layout_.AdvanceAt(text_, pos, x, &length);
    const bool sel = pos >= sb && pos < se;
    if (sel) {
      if (sel_x0 < 0) sel_x0 = x;
      sel_x1 = x + a;
    }
    const unsigned char c = static_cast<unsigned char>(text_.At(pos));
    const QPointF at(kMarginLeft + x / 64.0, baseline);
    if (c > ' ' && c < 0x80) {
      glyphs[sel].push_back(ascii_glyphs_[c]);
      points[sel].push_back(at);
    } else if (c >= 0x80) {
      int n = 1;
      const char32_t cp = DecodeMemoChar(text_, pos, &n);
      const QString s = QString::fromUcs4(&cp, 1);
      const QList<quint32> g =
          raw_font_.supportsCharacter(cp) ? raw_font_.glyphIndexesForString(s) : QList<quint32>();
      if (g.size() == 1 && g[0] != 0) {
        glyphs[sel].push_back(g[0]);
        points[sel].push_back(at);
      } else {
        loose.push_back({at, s, sel});
      }
    }
    x += a;
    pos += length;
  }
  const QPalette& pal = palette();
  if (sel_x0 >= 0) {
    const qreal x0 = kMarginLeft + sel_x0 / 64.0, x1 = kMarginLeft + sel_x1 / 64.0;
    p.fillRect(QRectF(QPointF(std::floor(x0), y), QPointF(std::ceil(x1), y + line_height_)),
               pal.color(QPalette::Highlight));
  }
  for (int s = 0; s < 2; ++s) {
    const QColor color = pal.color(s ? QPalette::HighlightedText : QPalette::Text);
    if (!glyphs[s].empty()) {
      QGlyphRun run;
      run.setRawFont(raw_font_);
      run.setGlyphIndexes(QList<quint32>(glyphs[s].begin(), glyphs[s].end()));
      run.setPositions(QList<QPointF>(points[s].begin(), points[s].end()));
      p.setPen(color);
      p.drawGlyphRun(QPointF(0, 0), run);
    }
    p.setPen(color);
    for (const TLoose& l : loose) {
      if (l.selected == (s == 1)) p.drawText(l.at, l.text);
    }
  }
}

void TMemo::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  QFont f = font();
  f.setKerning(false);
  p.setFont(f);
  const int64_t top = TopLine();
  const int64_t count = layout_.LineCount();
  const int rows = VisibleLines() + 1;
  for (int r = 0; r < rows && top + r < count; ++r) {
    DrawLine(p, top + r, kMarginTop + r * line_height_);
  }
  if (hasFocus()) {
    const QRect caret = PosRect(caret_);
    if (!preedit_.isEmpty()) {
      const QFontMetrics fm(f);
      const QRect box(caret.left(), caret.top(), fm.horizontalAdvance(preedit_) + 1, line_height_);
      p.fillRect(box, palette().color(QPalette::Base));
      QFont u = f;
      u.setUnderline(true);
      p.setFont(u);
      p.setPen(palette().color(QPalette::Text));
      p.drawText(QPointF(caret.left(), caret.top() + ascent_), preedit_);
    } else if (caret_on_) {
      p.fillRect(caret, palette().color(QPalette::Text));
    }
  }
  if (PerfTraceOn()) PerfMark(QStringLiteral("painted Memo1"));
}

}  // namespace qv
