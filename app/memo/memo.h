// The multi-line text box: tens of millions of characters, wrapped, editable.
// Text is UTF-8 bytes; positions are byte offsets that never split a character or a CR LF.
// TMemo is the view of a TMemoDocument (memo_document.h): it turns events into
// the document's commands and paints, scrolls, copies and pastes.
#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QRawFont>
#include <QString>
#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "app/memo/memo_document.h"
#include "app/support/trapped_action.h"
#include "conversion/threads/ui_thread_check.h"

class QMenu;
class QMimeData;

namespace qv {

class TMemo : public QAbstractScrollArea {
  Q_OBJECT

 public:
  // Starts with the text CR LF and the caret on the empty second line.
  explicit TMemo(QWidget* parent = nullptr);
  ~TMemo() override;

  // The whole text (a copy).
  std::string Text() const {
    CheckUiThread("the text box (TMemo)");
    return doc_.Text().Str();
  }
  // Replaces the whole text, taking over the string's buffer; clears undo and selection
  // and puts the caret at the start.
  void SetText(std::string text);
  int64_t TextLength() const {
    CheckUiThread("the text box (TMemo)");
    return doc_.Length();
  }

  // What wrapping a text the way this box does needs, for one other thread:
  // the box's widths, a font of that thread's own for any character not known
  // yet, and the wrap width. Made on the UI thread.
  struct TWrapSettings {
    std::unique_ptr<TMemoAdvances> advances;
    int32_t width = 64;
    uint64_t font_generation = 0;
  };
  TWrapSettings WrapSettingsForThread() const;
  // SetText with a text wrapped already (TMemoContent::Prepare with `settings`),
  // so that the window takes even a huge text at once. Should the font or the
  // width have changed meanwhile, the text is wrapped again here. One undoable
  // step: the text it replaces goes into the undo history (within its byte
  // limit); what is left of the old text and its index comes back in
  // `content`, for the caller to free.
  void TakeContent(TMemoContent& content, const TWrapSettings& settings);

  // Caret and selection, as byte offsets; the selection runs between anchor and caret.
  int64_t CaretPos() const { return doc_.Caret(); }
  int64_t AnchorPos() const { return doc_.Anchor(); }
  int64_t SelStart() const { return doc_.SelStart(); }
  int64_t SelEnd() const { return doc_.SelEnd(); }
  std::string SelectedText() const { return doc_.SelectedText(); }
  // Sets anchor and caret (each moved back onto a character boundary).
  void SetSelection(int64_t anchor, int64_t caret);
  void SelectAll();
  // Replaces the selection as one undoable edit, like typing or pasting it.
  void ReplaceSelection(std::string_view insert);
  // Replaces count bytes at pos (aligned to characters) as one undoable edit.
  void ReplaceRange(int64_t pos, int64_t count, std::string_view insert);

  bool CanUndo() const { return doc_.CanUndo(); }
  void Undo();
  void Redo();
  void Cut();
  void Copy() const;
  void Paste();
  void DeleteSelection();

  // Receives every error raised while the box handles an event (chiefly "Out of
  // memory" on a huge paste), which must not unwind through Qt. Without one the box beeps.
  std::function<void(std::exception_ptr)> OnError;
  // Hands an error to OnError (or beeps); ErrorReport() does so for as long as
  // the box exists: for the box's menu entries, and any added to them later
  // (AddTrappedAction), which run inside the same trap as its keys.
  void ReportError(std::exception_ptr error);
  TErrorReport ErrorReport();

  // The edit context menu, with its items enabled as they apply, each run inside
  // the box's error trap; the caller owns it.
  QMenu* CreateContextMenu();
  std::function<void(QMenu& menu)> OnExtendContextMenu;

  // Counts the changes of the text (edits, undo, whole replacements), so that
  // work begun on one text can tell whether it still applies.
  uint64_t Revision() const { return revision_; }

  // The document, for tests, accessibility and input methods.
  const TMemoDocument& Document() const { return doc_; }
  const TMemoText& Model() const { return doc_.Text(); }
  const TMemoLayout& Layout() const { return doc_.Layout(); }
  int64_t TopLine() const;
  int VisibleLines() const;
  int LineHeight() const { return line_height_; }
  // Viewport rectangle of the caret (or of the character at pos).
  QRect PosRect(int64_t pos) const;
  // Byte offset nearest to a viewport point.
  int64_t PosAt(QPoint point) const;
  // Bytes of memory held for the text and its index.
  int64_t MemoryBytes() const;
  // Moves pos back to the start of the character (and of a CR LF) it is in.
  int64_t Align(int64_t pos) const { return doc_.Align(pos); }
  // Answers from a window of text around the caret, never the whole text.
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

 protected:
  bool event(QEvent* e) override;
  bool viewportEvent(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void changeEvent(QEvent* e) override;
  void timerEvent(QTimerEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  bool Trap(const std::function<bool()>& handle);
  bool HandleEvent(QEvent* e);
  void ApplyFont();
  void Relayout();
  void UpdateScrollBar();
  void EnsureCaretVisible();
  // After a document command: the text changed (`edited`) and the caret moved.
  void Changed(bool edited);
  void TextUpdated();
  void SelectionChanged();
  void RestartBlink();
  void PasteText(const QString& text);
  QMimeData* MakeMimeData(int64_t begin, int64_t end) const;
  void DrawLine(QPainter& p, int64_t line, int y) const;

  std::unique_ptr<TMemoAdvances> advances_;  // the font's widths, used by doc_'s layout
  QString font_description_;                 // of the font advances_ measures
  uint64_t font_generation_ = 0;             // counts the fonts applied
  uint64_t revision_ = 0;                    // counts the text's changes
  TMemoDocument doc_;
  int line_height_ = 13;
  int ascent_ = 10;
  bool caret_on_ = false;
  bool selecting_ = false;
  QBasicTimer blink_;
  QBasicTimer drag_scroll_;
  QPoint last_mouse_;
  QRawFont raw_font_;
  std::array<quint32, 128> ascii_glyphs_{};
  QString preedit_;
  static constexpr int kMarginLeft = 2;
  static constexpr int kMarginRight = 2;
  static constexpr int kMarginTop = 1;
};

}  // namespace qv
