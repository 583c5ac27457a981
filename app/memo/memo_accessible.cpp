#include "app/memo/memo_accessible.h"

#include <QScrollBar>
#include <algorithm>

#include "app/memo/memo.h"

namespace qv {

namespace {

QAccessibleInterface* MemoFactory(const QString& class_name, QObject* object) {
  if (class_name == QLatin1String("qv::TMemo") && object && object->isWidgetType()) {
    return new TMemoAccessible(static_cast<TMemo*>(object));
  }
  return nullptr;
}

int ToInt(int64_t v) {
  return static_cast<int>(std::clamp<int64_t>(v, 0, INT32_MAX));
}

}  // namespace

void InstallMemoAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(MemoFactory);
    return true;
  }();
  (void)installed;
}

TMemoAccessible::TMemoAccessible(TMemo* memo)
    : QAccessibleWidget(memo, QAccessible::EditableText) {}

TMemo* TMemoAccessible::Memo() const {
  return static_cast<TMemo*>(widget());
}

const TMemoDocument& TMemoAccessible::Document() const {
  return Memo()->Document();
}

void* TMemoAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
  if (type == QAccessible::EditableTextInterface) {
    return static_cast<QAccessibleEditableTextInterface*>(this);
  }
  return QAccessibleWidget::interface_cast(type);
}

QAccessible::State TMemoAccessible::state() const {
  QAccessible::State s = QAccessibleWidget::state();
  s.editable = true;
  s.multiLine = true;
  s.selectableText = true;
  s.focusable = true;
  return s;
}

QString TMemoAccessible::text(QAccessible::Text t) const {
  if (t == QAccessible::Value) return text(0, kMaxRange);
  return QAccessibleWidget::text(t);
}

void TMemoAccessible::selection(int index, int* start, int* end) const {
  *start = *end = 0;
  if (index != 0 || !Document().HasSelection()) return;
  *start = ToInt(Document().SelStart());
  *end = ToInt(Document().SelEnd());
}

int TMemoAccessible::selectionCount() const {
  return Document().HasSelection();
}

void TMemoAccessible::addSelection(int start, int end) {
  setSelection(0, start, end);
}

void TMemoAccessible::removeSelection(int index) {
  if (index == 0) Memo()->SetSelection(Document().Caret(), Document().Caret());
}

void TMemoAccessible::setSelection(int index, int start, int end) {
  if (index == 0) Memo()->SetSelection(start, end);
}

int TMemoAccessible::cursorPosition() const {
  return ToInt(Document().Caret());
}

void TMemoAccessible::setCursorPosition(int position) {
  Memo()->SetSelection(position, position);
}

QString TMemoAccessible::text(int start, int end) const {
  const TMemoDocument& doc = Document();
  const int64_t len = doc.Length();
  const int64_t a = doc.Align(std::clamp<int64_t>(start, 0, len));
  const int64_t b = doc.Align(std::clamp<int64_t>(std::min<int64_t>(end, a + kMaxRange), a, len));
  const std::string s = doc.Text().Mid(a, b - a);
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

void TMemoAccessible::Unit(int64_t offset, QAccessible::TextBoundaryType type, int64_t* start,
                           int64_t* end) const {
  const TMemoDocument& doc = Document();
  const int64_t len = doc.Length();
  offset = std::clamp<int64_t>(offset, 0, len);
  const int64_t line = doc.Layout().LineOf(offset);
  switch (type) {
    case QAccessible::CharBoundary: {
      *start = doc.Align(offset);
      int length = 1;
      if (*start < len) DecodeMemoChar(doc.Text(), *start, &length);
      *end = std::min(len, *start + length);
      break;
    }
    case QAccessible::WordBoundary:
      // A word never reaches past its visual line here.
      doc.WordInLine(offset, start, end);
      break;
    case QAccessible::NoBoundary:
      *start = 0;
      *end = std::min<int64_t>(len, kMaxRange);
      break;
    default:  // lines, sentences and paragraphs are visual lines
      *start = doc.Layout().LineStart(line);
      *end = doc.Layout().LineLimit(doc.Text(), line);
      break;
  }
  *end = std::min(*end, *start + kMaxRange);
}

QString TMemoAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                                      int* end) const {
  int64_t a = 0, b = 0;
  Unit(offset, type, &a, &b);
  *start = ToInt(a);
  *end = ToInt(b);
  return text(*start, *end);
}

QString TMemoAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType type,
                                          int* start, int* end) const {
  int64_t a = 0, b = 0;
  Unit(offset, type, &a, &b);
  if (a == 0 || type == QAccessible::NoBoundary) {
    *start = *end = 0;
    return {};
  }
  Unit(a - 1, type, &a, &b);
  *start = ToInt(a);
  *end = ToInt(b);
  return text(*start, *end);
}

QString TMemoAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                                         int* end) const {
  int64_t a = 0, b = 0;
  Unit(offset, type, &a, &b);
  if (b >= Document().Length() || type == QAccessible::NoBoundary) {
    *start = *end = ToInt(Document().Length());
    return {};
  }
  Unit(b, type, &a, &b);
  *start = ToInt(a);
  *end = ToInt(b);
  return text(*start, *end);
}

int TMemoAccessible::characterCount() const {
  return ToInt(Document().Length());
}

QRect TMemoAccessible::characterRect(int offset) const {
  QRect r = Memo()->PosRect(offset);
  const QPoint origin = Memo()->viewport()->mapToGlobal(QPoint(0, 0));
  return r.translated(origin);
}

int TMemoAccessible::offsetAtPoint(const QPoint& point) const {
  const QPoint local = Memo()->viewport()->mapFromGlobal(point);
  if (!Memo()->viewport()->rect().contains(local)) return -1;
  return ToInt(Memo()->PosAt(local));
}

void TMemoAccessible::scrollToSubstring(int start, int) {
  TMemo* m = Memo();
  const int64_t line =
      Document().Layout().LineOf(std::clamp<int64_t>(start, 0, Document().Length()));
  const int64_t top = m->TopLine();
  if (line < top || line >= top + m->VisibleLines()) {
    m->verticalScrollBar()->setValue(static_cast<int>(std::min<int64_t>(line, INT32_MAX)));
  }
}

QString TMemoAccessible::attributes(int offset, int* start, int* end) const {
  *start = 0;
  *end = characterCount();
  (void)offset;
  return {};
}

void TMemoAccessible::deleteText(int start, int end) {
  replaceText(start, end, QString());
}

void TMemoAccessible::insertText(int offset, const QString& text) {
  replaceText(offset, offset, text);
}

void TMemoAccessible::replaceText(int start, int end, const QString& text) {
  const QByteArray bytes = text.toUtf8();
  const int64_t a = std::min(start, end), b = std::max(start, end);
  Memo()->ReplaceRange(a, b - a, std::string_view(bytes.constData(), bytes.size()));
}

}  // namespace qv
