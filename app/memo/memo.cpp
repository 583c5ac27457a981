#include "app/memo/memo.h"

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

#include "app/memo/memo_accessible.h"
#include "app/memo/scroll_bar_style.h"
#include "app/support/perf_trace.h"
#include "app/support/trapped_action.h"
#include "base/exceptions.h"

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

}  // namespace

TMemo::TMemo(QWidget* parent) : QAbstractScrollArea(parent) {
  InstallMemoAccessibility();
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // A thumb that stands out from the track; the style goes with the box, after
  // the scroll bar (an older child).
  auto* bar_style = new TScrollBarStyle;
  bar_style->setParent(this);
  verticalScrollBar()->setStyle(bar_style);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  setAttribute(Qt::WA_KeyCompression, false);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  ApplyFont();  // the layout needs the font's widths before it holds text
  doc_.SetText(std::string("\r\n"));
  doc_.PlaceCaret(2);
  Relayout();
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
  doc_.SetAdvances(advances_.get());
  font_description_ = f.toString();
  ++font_generation_;
  line_height_ = std::max(1, static_cast<int>(std::ceil(fm.height())));
  ascent_ = static_cast<int>(std::lround(fm.ascent()));
  raw_font_ = QRawFont::fromFont(f);
  QString ascii;
  for (int c = 0; c < 128; ++c) ascii.append(QChar(c));
  const QList<quint32> glyphs = raw_font_.glyphIndexesForString(ascii);
  for (int c = 0; c < 128 && c < glyphs.size(); ++c)
    ascii_glyphs_[static_cast<size_t>(c)] = glyphs[c];
  doc_.InvalidateWrap();  // forces the re-wrap below
  Relayout();
}

void TMemo::Relayout() {
  const int w = viewport()->width() - kMarginLeft - kMarginRight;
  doc_.SetWrapWidth(std::max(1, w) * 64);
  UpdateScrollBar();
  viewport()->update();
}

void TMemo::SetText(std::string text) {
  CheckUiThread("the text box (TMemo)");
  doc_.SetText(std::move(text));
  preedit_.clear();
  UpdateScrollBar();
  verticalScrollBar()->setValue(0);
  viewport()->update();
  TextUpdated();
}

TMemo::TWrapSettings TMemo::WrapSettingsForThread() const {
  CheckUiThread("the text box (TMemo)");
  // The copy must not share the box's font: Qt fonts are reentrant, not
  // thread-safe, so the other thread builds its own on first need.
  auto metrics = std::make_shared<std::unique_ptr<QFontMetricsF>>();
  auto measure = [description = font_description_, metrics](char32_t cp) {
    if (!*metrics) {
      QFont f;
      f.fromString(description);
      f.setKerning(false);
      *metrics = std::make_unique<QFontMetricsF>(f);
    }
    const QString s = QString::fromUcs4(&cp, 1);
    return static_cast<int32_t>(std::lround((*metrics)->horizontalAdvance(s) * 64));
  };
  TWrapSettings settings;
  settings.advances = std::make_unique<TMemoAdvances>(*advances_, std::move(measure));
  settings.width = doc_.Layout().Width();
  settings.font_generation = font_generation_;
  return settings;
}

void TMemo::TakeContent(TMemoContent& content, const TWrapSettings& settings) {
  CheckUiThread("the text box (TMemo)");
  doc_.TakeContent(content, settings.font_generation != font_generation_);
  preedit_.clear();
  UpdateScrollBar();
  verticalScrollBar()->setValue(0);
  viewport()->update();
  TextUpdated();
  SelectionChanged();
}

int TMemo::VisibleLines() const {
  return std::max(1, (viewport()->height() - kMarginTop) / line_height_);
}

int64_t TMemo::TopLine() const {
  return verticalScrollBar()->value();
}

void TMemo::UpdateScrollBar() {
  const int64_t count = doc_.Layout().LineCount();
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
  return doc_.MemoryBytes();
}

// ---- positions ----

QRect TMemo::PosRect(int64_t pos) const {
  const int64_t line = pos == doc_.Caret() ? doc_.CaretLine() : doc_.Layout().LineOf(pos);
  const int64_t y = kMarginTop + (line - TopLine()) * line_height_;
  const int x = kMarginLeft + static_cast<int>(std::lround(doc_.XOf(line, pos) / 64.0));
  return QRect(x, static_cast<int>(std::clamp<int64_t>(y, -line_height_, INT32_MAX / 2)), 1,
               line_height_);
}

int64_t TMemo::PosAt(QPoint point) const {
  const int row = point.y() < kMarginTop ? -1 : (point.y() - kMarginTop) / line_height_;
  const int64_t line = std::clamp<int64_t>(TopLine() + row, 0, doc_.Layout().LineCount() - 1);
  return doc_.PosInLine(line, (point.x() - kMarginLeft) * 64);
}

// ---- caret and selection ----

void TMemo::SetSelection(int64_t anchor, int64_t caret) {
  CheckUiThread("the text box (TMemo)");
  doc_.SetSelection(anchor, caret);
  Changed(false);
}

void TMemo::SelectAll() {
  doc_.SelectAll();
  Changed(false);
}

void TMemo::Changed(bool edited) {
  if (edited) {
    UpdateScrollBar();
    TextUpdated();
  }
  EnsureCaretVisible();
  SelectionChanged();
}

void TMemo::TextUpdated() {
  ++revision_;
  if (QAccessible::isActive()) {
    // What changed, and a bounded part of it: assistive tools speak it, and
    // never ask for the whole text of millions of characters.
    const TMemoChange& change = doc_.LastChange();
    auto text = [](const std::string& bytes) {
      return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    };
    QAccessibleTextUpdateEvent ev(this, static_cast<int>(std::min<int64_t>(change.pos, INT32_MAX)),
                                  text(change.removed), text(change.inserted));
    ev.setCursorPosition(static_cast<int>(std::min<int64_t>(doc_.Caret(), INT32_MAX)));
    QAccessible::updateAccessibility(&ev);
  }
}

void TMemo::SelectionChanged() {
  RestartBlink();
  viewport()->update();
  if (QAccessible::isActive()) {
    QAccessibleTextCursorEvent ev(this,
                                  static_cast<int>(std::min<int64_t>(doc_.Caret(), INT32_MAX)));
    QAccessible::updateAccessibility(&ev);
  }
}

void TMemo::EnsureCaretVisible() {
  const int64_t line = doc_.CaretLine();
  const int64_t top = TopLine();
  const int visible = VisibleLines();
  QScrollBar* bar = verticalScrollBar();
  if (line < top) {
    bar->setValue(static_cast<int>(std::min<int64_t>(line, INT32_MAX)));
  } else if (line >= top + visible) {
    bar->setValue(static_cast<int>(std::min<int64_t>(line - visible + 1, INT32_MAX)));
  }
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
    viewport()->update(PosRect(doc_.Caret()).adjusted(-1, 0, 1, 0));
  } else if (e->timerId() == drag_scroll_.timerId()) {
    const int h = viewport()->height();
    QScrollBar* bar = verticalScrollBar();
    if (last_mouse_.y() < 0) bar->setValue(bar->value() - 1);
    if (last_mouse_.y() >= h) bar->setValue(bar->value() + 1);
    const QPoint clamped(last_mouse_.x(), std::clamp(last_mouse_.y(), 0, std::max(0, h - 1)));
    doc_.DragTo(PosAt(clamped), true);
    SelectionChanged();
  } else {
    QAbstractScrollArea::timerEvent(e);
  }
}

// ---- editing ----

void TMemo::ReplaceSelection(std::string_view insert) {
  CheckUiThread("the text box (TMemo)");
  Changed(doc_.ReplaceSelection(insert));
}

void TMemo::ReplaceRange(int64_t pos, int64_t count, std::string_view insert) {
  CheckUiThread("the text box (TMemo)");
  Changed(doc_.ReplaceRange(pos, count, insert));
}

void TMemo::DeleteSelection() {
  if (doc_.DeleteSelection()) Changed(true);
}

void TMemo::Undo() {
  if (doc_.Undo()) Changed(true);
}

void TMemo::Redo() {
  if (doc_.Redo()) Changed(true);
}

QMimeData* TMemo::MakeMimeData(int64_t begin, int64_t end) const {
  return new TMemoMimeData(doc_.Text().Mid(begin, end - begin));
}

void TMemo::Copy() const {
  if (!doc_.HasSelection()) return;
  QApplication::clipboard()->setMimeData(MakeMimeData(SelStart(), SelEnd()), QClipboard::Clipboard);
}

void TMemo::Cut() {
  if (!doc_.HasSelection()) return;
  Copy();
  DeleteSelection();
}

void TMemo::PasteText(const QString& text) {
  if (text.isEmpty()) return;
  const QByteArray bytes = text.toUtf8();
  ReplaceSelection(std::string_view(bytes.constData(), bytes.size()));
}

void TMemo::Paste() {
  PasteText(QApplication::clipboard()->text(QClipboard::Clipboard));
}

QMenu* TMemo::CreateContextMenu() {
  auto* menu = new QMenu(this);
  const bool has_selection = doc_.HasSelection();
  auto add = [&](const QString& text, const char* name, bool enabled, std::function<void()> run) {
    QAction* a = AddTrappedAction(menu, text, std::move(run), ErrorReport());
    a->setObjectName(QString::fromLatin1(name));
    a->setEnabled(enabled);
  };
  add(QStringLiteral("撤消(&U)"), "undo", doc_.CanUndo(), [this] { Undo(); });
  menu->addSeparator();
  add(QStringLiteral("剪切(&T)"), "cut", has_selection, [this] { Cut(); });
  add(QStringLiteral("复制(&C)"), "copy", has_selection, [this] { Copy(); });
  const QMimeData* clip = QApplication::clipboard()->mimeData(QClipboard::Clipboard);
  add(QStringLiteral("粘贴(&P)"), "paste", clip && clip->hasText(), [this] { Paste(); });
  add(QStringLiteral("删除(&D)"), "delete", has_selection, [this] { DeleteSelection(); });
  menu->addSeparator();
  add(QStringLiteral("全选(&A)"), "selectAll",
      doc_.Length() > 0 && SelEnd() - SelStart() < doc_.Length(), [this] { SelectAll(); });
  if (OnExtendContextMenu) {
    menu->addSeparator();
    OnExtendContextMenu(*menu);
  }
  return menu;
}

void TMemo::contextMenuEvent(QContextMenuEvent* e) {
  setFocus(Qt::OtherFocusReason);
  QMenu* menu = CreateContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(e->globalPos());
}

// ---- events ----

void TMemo::ReportError(std::exception_ptr error) {
  // A huge paste or cut may run out of memory in the standard library or in
  // Qt's strings: the user sees the same "Out of memory" as from the box's own checks.
  try {
    std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    error = std::make_exception_ptr(EOutOfMemory(kOutOfMemoryText));
  } catch (...) {
  }
  if (OnError) {
    OnError(error);
  } else {
    QApplication::beep();
  }
}

TErrorReport TMemo::ErrorReport() {
  return [box = QPointer<TMemo>(this)](std::exception_ptr error) {
    if (box) box->ReportError(error);
  };
}

// Every way Qt calls into the box passes here: an error is reported, the edit that
// raised it has changed nothing, and the event counts as handled.
bool TMemo::Trap(const std::function<bool()>& handle) {
  try {
    return handle();
  } catch (...) {
    ReportError(std::current_exception());
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
      doc_.MoveLeft(ctrl, shift);
      return Changed(false);
    case Qt::Key_Right:
      doc_.MoveRight(ctrl, shift);
      return Changed(false);
    case Qt::Key_Up:
    case Qt::Key_Down:
      doc_.MoveVertically(e->key() == Qt::Key_Up ? -1 : 1, shift);
      return Changed(false);
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
      const int page = VisibleLines();
      const int sign = e->key() == Qt::Key_PageUp ? -1 : 1;
      QScrollBar* bar = verticalScrollBar();
      bar->setValue(bar->value() + sign * page);
      doc_.MoveVertically(sign * page, shift);
      return Changed(false);
    }
    case Qt::Key_Home:
      doc_.MoveHome(ctrl, shift);
      return Changed(false);
    case Qt::Key_End:
      doc_.MoveEnd(ctrl, shift);
      return Changed(false);
    case Qt::Key_Backspace:
      if (doc_.Backspace(ctrl)) Changed(true);
      return;
    case Qt::Key_Delete:
      if (doc_.DeleteForward(ctrl)) Changed(true);
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return Changed(doc_.ReplaceSelection("\r\n", TMemoEditKind::ekTyping));
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
      e->ignore();
      return;
    default:
      break;
  }
  const QString typed = e->text();
  // Alt+key belongs to the window (menus, mnemonics), never to the text: as in
  // the platform's edit control it types nothing. AltGr is not Alt here.
  const bool alt = e->modifiers() & Qt::AltModifier;
  if (!typed.isEmpty() && !ctrl && !alt &&
      std::all_of(typed.begin(), typed.end(), [](QChar c) { return c.isPrint(); })) {
    const QByteArray bytes = typed.toUtf8();
    Changed(doc_.ReplaceSelection(std::string_view(bytes.constData(), bytes.size()),
                                  TMemoEditKind::ekTyping));
    return;
  }
  e->ignore();
}

void TMemo::mousePressEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  if (e->button() == Qt::LeftButton) {
    const int64_t pos = PosAt(p);
    const int64_t line = doc_.Layout().LineOf(pos);
    // A click right of a wrapped line's end puts the caret there, not on the next line.
    const int row = std::max(0, (p.y() - kMarginTop) / line_height_);
    const int64_t clicked = std::clamp<int64_t>(TopLine() + row, 0, doc_.Layout().LineCount() - 1);
    doc_.Click(pos, clicked != line, e->modifiers() & Qt::ShiftModifier);
    selecting_ = true;
    last_mouse_ = p;
    SelectionChanged();
  } else if (e->button() == Qt::MiddleButton && QApplication::clipboard()->supportsSelection()) {
    doc_.PlaceCaret(PosAt(p));
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
  doc_.DragTo(PosAt(last_mouse_), false);
  SelectionChanged();
}

void TMemo::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !selecting_) return;
  selecting_ = false;
  drag_scroll_.stop();
  QClipboard* clip = QApplication::clipboard();
  if (doc_.HasSelection() && clip->supportsSelection()) {
    clip->setMimeData(new TMemoMimeData(this), QClipboard::Selection);
  }
}

void TMemo::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  int64_t b = 0, end = 0;
  doc_.WordAt(PosAt(e->position().toPoint()), &b, &end);
  SetSelection(b, end);
  QClipboard* clip = QApplication::clipboard();
  if (doc_.HasSelection() && clip->supportsSelection()) {
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
    ReplaceSelection(std::string_view(bytes.constData(), bytes.size()));
  }
  preedit_ = e->preeditString();
  viewport()->update();
  e->accept();
}

QVariant TMemo::inputMethodQuery(Qt::InputMethodQuery query) const {
  // A window of text around the caret, never the whole text.
  const int64_t from = Align(std::max<int64_t>(0, doc_.Caret() - kSurroundBytes));
  const int64_t to = Align(std::min(doc_.Text().Length(), doc_.Caret() + kSurroundBytes));
  auto utf16_offset = [&](int64_t pos) {
    pos = std::clamp(pos, from, to);
    const std::string s = doc_.Text().Mid(from, pos - from);
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())).size();
  };
  auto window_text = [&](int64_t a, int64_t b) {
    a = std::clamp(a, from, to);
    b = std::clamp(b, from, to);
    const std::string s = doc_.Text().Mid(a, b - a);
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
  };
  switch (query) {
    case Qt::ImEnabled:
      return true;
    case Qt::ImCursorRectangle:
      return PosRect(doc_.Caret());
    case Qt::ImFont:
      return font();
    case Qt::ImHints:
      return static_cast<int>(Qt::ImhMultiLine);
    case Qt::ImSurroundingText:
      return window_text(from, to);
    case Qt::ImCursorPosition:
      return utf16_offset(doc_.Caret());
    case Qt::ImAnchorPosition:
      return utf16_offset(doc_.Anchor());
    case Qt::ImCurrentSelection:
      return window_text(SelStart(), SelEnd());
    case Qt::ImAbsolutePosition:
      return static_cast<qlonglong>(doc_.Caret());
    case Qt::ImTextBeforeCursor:
      return window_text(from, doc_.Caret());
    case Qt::ImTextAfterCursor:
      return window_text(doc_.Caret(), to);
    case Qt::ImMaximumTextLength:
      return QVariant();
    default:
      return QAbstractScrollArea::inputMethodQuery(query);
  }
}

// ---- painting ----

void TMemo::DrawLine(QPainter& p, int64_t line, int y) const {
  const int64_t start = doc_.Layout().LineStart(line);
  const int64_t end = doc_.Layout().LineEnd(doc_.Text(), line);
  const bool show_sel = hasFocus() && doc_.HasSelection();
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
    const int32_t a = doc_.Layout().AdvanceAt(doc_.Text(), pos, x, &length);
    const bool sel = pos >= sb && pos < se;
    if (sel) {
      if (sel_x0 < 0) sel_x0 = x;
      sel_x1 = x + a;
    }
    const unsigned char c = static_cast<unsigned char>(doc_.Text().At(pos));
    const QPointF at(kMarginLeft + x / 64.0, baseline);
    if (c > ' ' && c < 0x80) {
      glyphs[sel].push_back(ascii_glyphs_[c]);
      points[sel].push_back(at);
    } else if (c >= 0x80) {
      int n = 1;
      const char32_t cp = DecodeMemoChar(doc_.Text(), pos, &n);
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
  const int64_t count = doc_.Layout().LineCount();
  const int rows = VisibleLines() + 1;
  for (int r = 0; r < rows && top + r < count; ++r) {
    DrawLine(p, top + r, kMarginTop + r * line_height_);
  }
  if (hasFocus()) {
    const QRect caret = PosRect(doc_.Caret());
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
