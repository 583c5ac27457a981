// Accessibility of the text box: an editable text whose text interface works on
// visual lines and bounded ranges. Offsets are byte offsets into the UTF-8 text
// (one per character for hex text), clamped to int.
#pragma once

#include <QAccessibleWidget>

namespace qv {

class TMemo;
class TMemoDocument;

// Registers the factory that gives every TMemo its accessible interface (once).
void InstallMemoAccessibility();

class TMemoAccessible : public QAccessibleWidget,
                        public QAccessibleTextInterface,
                        public QAccessibleEditableTextInterface {
 public:
  // The most text one call hands out.
  static constexpr int kMaxRange = 65536;

  explicit TMemoAccessible(TMemo* memo);

  void* interface_cast(QAccessible::InterfaceType type) override;
  QAccessible::State state() const override;
  QString text(QAccessible::Text t) const override;

  // QAccessibleTextInterface
  void selection(int index, int* start, int* end) const override;
  int selectionCount() const override;
  void addSelection(int start, int end) override;
  void removeSelection(int index) override;
  void setSelection(int index, int start, int end) override;
  int cursorPosition() const override;
  void setCursorPosition(int position) override;
  QString text(int start, int end) const override;
  QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                           int* end) const override;
  QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                          int* end) const override;
  QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                       int* end) const override;
  int characterCount() const override;
  QRect characterRect(int offset) const override;
  int offsetAtPoint(const QPoint& point) const override;
  void scrollToSubstring(int start, int end) override;
  QString attributes(int offset, int* start, int* end) const override;

  // QAccessibleEditableTextInterface
  void deleteText(int start, int end) override;
  void insertText(int offset, const QString& text) override;
  void replaceText(int start, int end, const QString& text) override;

 private:
  TMemo* Memo() const;
  // What the box shows: text, selection, caret and layout are read from here.
  const TMemoDocument& Document() const;
  // The range of the unit of `type` that holds offset, bounded to kMaxRange.
  void Unit(int64_t offset, QAccessible::TextBoundaryType type, int64_t* start, int64_t* end) const;
};

}  // namespace qv
