// The text box as a user meets it, offscreen: keys, mouse, clipboard, context menu,
// input methods and accessibility, with the real window font.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "app/memo/memo.h"
#include "base/exceptions.h"
#include "tests/test_support.h"

namespace qv {
namespace {

QFont WindowFont() {
  QFont f(QStringLiteral("Tahoma"));
  f.setPixelSize(11);
  return f;
}

class MemoWidget : public ::testing::Test {
 protected:
  void SetUp() override {
    QApplication::clipboard()->clear();
    window_ = std::make_unique<QWidget>();
    window_->resize(420, 330);
    window_->setFont(WindowFont());
    memo_ = new TMemo(window_.get());
    memo_->setGeometry(8, 8, 313, 311);
    other_ = new QPushButton(QStringLiteral("other"), window_.get());
    other_->setGeometry(330, 8, 80, 25);
    window_->show();
    window_->activateWindow();
    // Qt's own limit is 5 s; a busy machine may need longer, and the wait ends
    // as soon as the window is active.
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get(), 120000));
    memo_->setFocus();
    QApplication::processEvents();
  }

  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(memo_, static_cast<Qt::Key>(key), mods);
  }

  // Viewport point in the middle of the character at pos.
  // Just right of the boundary before `pos`: nearer to it than to the next one
  // in any font, even beside a narrow space.
  QPoint PointOf(int64_t pos) const {
    const QRect r = memo_->PosRect(pos);
    return QPoint(r.left() + 1, r.center().y());
  }

  std::unique_ptr<QWidget> window_;
  TMemo* memo_ = nullptr;
  QPushButton* other_ = nullptr;
};

TEST_F(MemoWidget, StartsWithCrLfAndTheCaretOnTheSecondLine) {
  EXPECT_EQ(memo_->Text(), "\r\n");
  EXPECT_EQ(memo_->TextLength(), 2);
  EXPECT_EQ(memo_->CaretPos(), 2);
  EXPECT_EQ(memo_->Layout().LineCount(), 2);
  EXPECT_EQ(memo_->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_TRUE(memo_->verticalScrollBar()->isVisible());
  EXPECT_EQ(memo_->frameShadow(), QFrame::Sunken);
  EXPECT_EQ(memo_->viewport()->backgroundRole(), QPalette::Base);
  EXPECT_EQ(memo_->LineHeight(), 13);
  EXPECT_TRUE(memo_->hasFocus());
}

TEST_F(MemoWidget, SetTextTakesTheBufferWithoutCopying) {
  std::string text(3000000, 'F');
  const char* bytes = text.data();
  memo_->SetText(std::move(text));
  EXPECT_EQ(memo_->Model().Run(0).data(), bytes);
  EXPECT_EQ(memo_->TextLength(), 3000000);
  EXPECT_GT(memo_->Layout().LineCount(), 3000000 / 60);
  EXPECT_FALSE(memo_->CanUndo());
}

TEST_F(MemoWidget, TypingEnterBackspaceDeleteAndUndo) {
  memo_->SetText("");
  QTest::keyClicks(memo_, QStringLiteral("AB"));
  Key(Qt::Key_Return);
  QTest::keyClicks(memo_, QStringLiteral("C"));
  QKeyEvent cjk(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("中"));
  QApplication::sendEvent(memo_, &cjk);
  EXPECT_EQ(memo_->Text(), "AB\r\nC中");
  Key(Qt::Key_Backspace);
  Key(Qt::Key_Backspace);
  Key(Qt::Key_Backspace);  // CR LF goes as one character
  EXPECT_EQ(memo_->Text(), "AB");
  Key(Qt::Key_Left);
  Key(Qt::Key_Delete);
  EXPECT_EQ(memo_->Text(), "A");
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(memo_->Text(), "AB");
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(memo_->Text(), "AB\r\nC中");
  Key(Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(memo_->Text(), "AB");
  Key(Qt::Key_Z, Qt::ControlModifier);
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(memo_->Text(), "");
  EXPECT_FALSE(memo_->CanUndo());
}

TEST_F(MemoWidget, CaretMovesByCharacterWordLineAndPage) {
  // 200 hex digits wrap over several visual lines, then two lines of words.
  const std::string hex(200, '0');
  memo_->SetText(hex + "\r\nalpha beta gamma\r\nend");
  const TMemoLayout& layout = memo_->Layout();
  ASSERT_GT(layout.LineCount(), 4);
  const int64_t second = layout.LineStart(1);
  ASSERT_GT(second, 0);
  ASSERT_LT(second, 200);

  Key(Qt::Key_End);  // end of the first visual line, shown there rather than below
  EXPECT_EQ(memo_->CaretPos(), second);
  EXPECT_EQ(memo_->PosRect(memo_->CaretPos()).top(), memo_->PosRect(0).top());
  Key(Qt::Key_Home);
  EXPECT_EQ(memo_->CaretPos(), 0);
  Key(Qt::Key_Down);
  EXPECT_EQ(memo_->CaretPos(), second);
  Key(Qt::Key_Right, Qt::ShiftModifier);
  Key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(memo_->SelStart(), second);
  EXPECT_EQ(memo_->SelEnd(), second + 2);
  Key(Qt::Key_Right);
  EXPECT_EQ(memo_->CaretPos(), second + 2);
  EXPECT_EQ(memo_->AnchorPos(), second + 2);

  const int64_t words = 202;
  memo_->SetSelection(words, words);
  Key(Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(memo_->CaretPos(), words + 6);  // start of "beta"
  Key(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(memo_->SelectedText(), "beta ");
  Key(Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(memo_->CaretPos(), words + 6);
  Key(Qt::Key_Left);  // CR LF is crossed in one step
  memo_->SetSelection(words, words);
  Key(Qt::Key_Left);
  EXPECT_EQ(memo_->CaretPos(), 200);

  Key(Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(memo_->CaretPos(), memo_->TextLength());
  Key(Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(memo_->SelStart(), 0);
  EXPECT_EQ(memo_->SelEnd(), memo_->TextLength());
  Key(Qt::Key_Home, Qt::ControlModifier);
  Key(Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(memo_->SelectedText(), memo_->Text());
}

TEST_F(MemoWidget, PageKeysAndTheCaretKeepTheViewScrolled) {
  memo_->SetText(std::string(100000, 'A'));
  QScrollBar* bar = memo_->verticalScrollBar();
  EXPECT_EQ(bar->value(), 0);
  Key(Qt::Key_PageDown);
  EXPECT_EQ(bar->value(), memo_->VisibleLines());
  EXPECT_EQ(memo_->Layout().LineOf(memo_->CaretPos()), memo_->VisibleLines());
  Key(Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_EQ(bar->maximum(), memo_->Layout().LineCount() - memo_->VisibleLines());
  Key(Qt::Key_PageUp);
  EXPECT_EQ(bar->value(), bar->maximum() - memo_->VisibleLines());
  Key(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(bar->value(), 0);
  // The wheel scrolls without moving the caret.
  QWheelEvent wheel(QPointF(50, 50), memo_->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                    QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(memo_->viewport(), &wheel);
  EXPECT_GT(bar->value(), 0);
  EXPECT_EQ(memo_->CaretPos(), 0);
}

TEST_F(MemoWidget, AltKeysTypeNothing) {
  struct Case {
    const char* name;
    int key;
    Qt::KeyboardModifiers mods;
    const char* text;
    std::string text_after;
  };
  const Case cases[] = {
      {"Alt+A", Qt::Key_A, Qt::AltModifier, "a", "x"},
      {"Alt+Shift+A", Qt::Key_A, Qt::AltModifier | Qt::ShiftModifier, "A", "x"},
      {"Alt+5", Qt::Key_5, Qt::AltModifier, "5", "x"},
      {"Alt+keypad 5", Qt::Key_5, Qt::AltModifier | Qt::KeypadModifier, "5", "x"},
      // The same keys without Alt, and AltGr (a group switch, not Alt), type.
      {"A", Qt::Key_A, Qt::NoModifier, "a", "xa"},
      {"5", Qt::Key_5, Qt::NoModifier, "5", "x5"},
      {"AltGr+Q", Qt::Key_At, Qt::GroupSwitchModifier, "@", "x@"},
  };
  for (const Case& c : cases) {
    memo_->SetText("x");
    memo_->SetSelection(1, 1);
    QKeyEvent press(QEvent::KeyPress, c.key, c.mods, QString::fromUtf8(c.text));
    QApplication::sendEvent(memo_, &press);
    EXPECT_EQ(memo_->Text(), c.text_after) << c.name;
  }
}

TEST_F(MemoWidget, ScrollBarThumbStandsOutFromItsTrack) {
  // A long text: a small thumb at the top, the rest of the track below it.
  memo_->SetText(std::string(2000000, 'A'));
  QApplication::processEvents();
  QScrollBar* bar = memo_->verticalScrollBar();
  QStyleOptionSlider option;
  option.initFrom(bar);
  option.subControls = QStyle::SC_All;
  option.orientation = Qt::Vertical;
  option.minimum = bar->minimum();
  option.maximum = bar->maximum();
  option.sliderPosition = option.sliderValue = bar->value();
  option.singleStep = bar->singleStep();
  option.pageStep = bar->pageStep();
  const QRect thumb =
      bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar);
  const QRect track =
      bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarGroove, bar);
  ASSERT_FALSE(thumb.isEmpty());
  ASSERT_GT(track.bottom() - thumb.bottom(), 20);
  const QImage image = bar->grab().toImage();
  const int thumb_light = qGray(image.pixel(thumb.center()));
  const int track_light =
      qGray(image.pixel(track.center().x(), (thumb.bottom() + track.bottom()) / 2));
  // Clearly darker than the track, as a thumb on a light track is drawn.
  EXPECT_GE(track_light - thumb_light, 40) << "thumb " << thumb_light << ", track " << track_light;
}

TEST_F(MemoWidget, TabIsNotTakenAndFocusMovesOn) {
  memo_->SetText("x");
  Key(Qt::Key_Tab);
  EXPECT_EQ(memo_->Text(), "x");
  EXPECT_TRUE(other_->hasFocus());
}

// A box whose key handling raises something that is no std::exception.
class ThrowingMemo : public TMemo {
 public:
  using TMemo::TMemo;

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (e->key() == Qt::Key_F2) throw 42;
    TMemo::keyPressEvent(e);
  }
};

TEST_F(MemoWidget, EveryErrorOfAnEventReachesOnErrorAndNoneEscapes) {
  auto* memo = new ThrowingMemo(window_.get());
  memo->setGeometry(8, 8, 100, 100);
  memo->show();
  memo->setFocus();
  std::exception_ptr reported;
  memo->OnError = [&](std::exception_ptr error) { reported = error; };
  QTest::keyClick(memo, Qt::Key_F2);
  ASSERT_TRUE(reported);
  EXPECT_THROW(std::rethrow_exception(reported), int);
  // Without a receiver the box only beeps.
  memo->OnError = nullptr;
  QTest::keyClick(memo, Qt::Key_F2);
  QTest::keyClick(memo, Qt::Key_A);
  EXPECT_NE(memo->Text().find('a'), std::string::npos) << "the box still takes keys";
}

TEST_F(MemoWidget, ClipboardKeys) {
  struct Case {
    const char* name;
    int key;
    Qt::KeyboardModifiers mods;
    std::string text_after;
    QString clipboard_after;
  };
  const Case cases[] = {
      {"Ctrl+C", Qt::Key_C, Qt::ControlModifier, "one two", "two"},
      {"Ctrl+Ins", Qt::Key_Insert, Qt::ControlModifier, "one two", "two"},
      {"Ctrl+X", Qt::Key_X, Qt::ControlModifier, "one ", "two"},
      {"Shift+Del", Qt::Key_Delete, Qt::ShiftModifier, "one ", "two"},
      {"Ctrl+V", Qt::Key_V, Qt::ControlModifier, "one 1\r\n2", "1\r\n2"},
      {"Shift+Ins", Qt::Key_Insert, Qt::ShiftModifier, "one 1\r\n2", "1\r\n2"},
  };
  for (const Case& c : cases) {
    memo_->SetText("one two");
    memo_->SetSelection(4, 7);
    QApplication::clipboard()->setText(QStringLiteral("1\r\n2"));
    Key(c.key, c.mods);
    EXPECT_EQ(memo_->Text(), c.text_after) << c.name;
    EXPECT_EQ(QApplication::clipboard()->text(), c.clipboard_after) << c.name;
  }
}

TEST_F(MemoWidget, CopyOfAHugeSelectionIsDeliveredWhole) {
  std::string text(5000000, 'E');
  text[0] = 'S';
  text.back() = 'Z';
  memo_->SetText(text);
  Key(Qt::Key_A, Qt::ControlModifier);
  Key(Qt::Key_C, Qt::ControlModifier);
  memo_->SetText("changed");  // the copy is a snapshot of the moment of copying
  const QString pasted = QApplication::clipboard()->text();
  ASSERT_EQ(pasted.size(), 5000000);
  EXPECT_EQ(pasted.front(), QChar('S'));
  EXPECT_EQ(pasted.back(), QChar('Z'));
}

TEST_F(MemoWidget, MouseClickDragShiftClickAndDoubleClick) {
  memo_->SetText("alpha beta gamma\r\nsecond line");
  QWidget* vp = memo_->viewport();
  QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, PointOf(6));
  EXPECT_EQ(memo_->CaretPos(), 6);
  QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, PointOf(0));
  QTest::mouseMove(vp, PointOf(5));
  QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, PointOf(5));
  EXPECT_EQ(memo_->SelectedText(), "alpha");
  QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, PointOf(20));
  EXPECT_EQ(memo_->SelectedText(), "alpha beta gamma\r\nse");
  QTest::mouseDClick(vp, Qt::LeftButton, Qt::NoModifier, PointOf(8));
  EXPECT_EQ(memo_->SelectedText(), "beta");
  // Below the last line the caret goes to the end of the text.
  QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, QPoint(300, 250));
  EXPECT_EQ(memo_->CaretPos(), memo_->TextLength());
}

TEST_F(MemoWidget, ContextMenuItemsAreEnabledAsTheyApply) {
  auto enabled = [&](const char* name) {
    std::unique_ptr<QMenu> menu(memo_->CreateContextMenu());
    QAction* a = menu->findChild<QAction*>(QString::fromLatin1(name));
    return a && a->isEnabled();
  };
  memo_->SetText("one two");
  memo_->SetSelection(0, 0);
  EXPECT_FALSE(enabled("undo"));
  EXPECT_FALSE(enabled("cut"));
  EXPECT_FALSE(enabled("copy"));
  EXPECT_FALSE(enabled("paste"));
  EXPECT_FALSE(enabled("delete"));
  EXPECT_TRUE(enabled("selectAll"));
  memo_->SetSelection(0, 3);
  EXPECT_TRUE(enabled("cut"));
  EXPECT_TRUE(enabled("copy"));
  EXPECT_TRUE(enabled("delete"));
  QApplication::clipboard()->setText(QStringLiteral("x"));
  EXPECT_TRUE(enabled("paste"));
  memo_->SelectAll();
  EXPECT_FALSE(enabled("selectAll"));

  // The items do what they say.
  memo_->SetSelection(3, 7);
  std::unique_ptr<QMenu> menu(memo_->CreateContextMenu());
  menu->findChild<QAction*>(QStringLiteral("delete"))->trigger();
  EXPECT_EQ(memo_->Text(), "one");
  menu.reset(memo_->CreateContextMenu());
  EXPECT_TRUE(menu->findChild<QAction*>(QStringLiteral("undo"))->isEnabled());
  menu->findChild<QAction*>(QStringLiteral("undo"))->trigger();
  EXPECT_EQ(memo_->Text(), "one two");
  menu.reset(memo_->CreateContextMenu());
  menu->findChild<QAction*>(QStringLiteral("selectAll"))->trigger();
  EXPECT_EQ(memo_->SelectedText(), "one two");
  menu.reset(memo_->CreateContextMenu());
  menu->findChild<QAction*>(QStringLiteral("paste"))->trigger();
  EXPECT_EQ(memo_->Text(), "x");
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUORVANE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUORVANE_SANITIZED 1
#endif
#endif

// A paste chosen from the menu that runs out of memory, in a child process
// whose address space cannot hold the pasted text: the error reaches OnError as
// "Out of memory" (as from the keys), the text is unchanged, and the box goes on.
TEST_F(MemoWidget, AFailingPasteFromTheMenuIsReportedAndChangesNothing) {
#if defined(_WIN32)
  GTEST_SKIP() << "limits the address space of a child process (fork, setrlimit)";
#elif defined(QUORVANE_SANITIZED)
  GTEST_SKIP() << "the sanitizers' allocators cannot live under an address-space limit";
#else
  memo_->SetText("kept");
  memo_->SetSelection(4, 4);
  // 100 million characters: their UTF-8 copy alone is past the child's room.
  QApplication::clipboard()->setText(QString(100'000'000, QChar(u'A')));
  std::unique_ptr<QMenu> menu(memo_->CreateContextMenu());
  QAction* paste = menu->findChild<QAction*>(QStringLiteral("paste"));
  ASSERT_NE(paste, nullptr);
  ASSERT_TRUE(paste->isEnabled());
  const int code = testing_support::InChildWithAddressSpace(uint64_t{64} << 20, [&] {
    std::exception_ptr reported;
    memo_->OnError = [&](std::exception_ptr error) { reported = error; };
    paste->trigger();
    if (!reported) return 10;
    try {
      std::rethrow_exception(reported);
    } catch (const EOutOfMemory& e) {
      if (e.Message() != "Out of memory") return 11;
    } catch (...) {
      return 12;
    }
    if (memo_->Text() != "kept") return 13;
    QApplication::clipboard()->setText(QStringLiteral("!"));
    std::unique_ptr<QMenu> again(memo_->CreateContextMenu());
    again->findChild<QAction*>(QStringLiteral("paste"))->trigger();
    return memo_->Text() == "kept!" ? 0 : 14;
  });
  EXPECT_EQ(code, 0) << "10: nothing reported, 11/12: another error, 13: text changed, "
                        "14: a later paste failed";
#endif
}

int CountColour(const QImage& image, QColor colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += image.pixelColor(x, y) == colour;
  }
  return n;
}

TEST_F(MemoWidget, SelectionIsHiddenWithoutFocus) {
  memo_->SetText(std::string(500, '8'));
  memo_->SelectAll();
  const QColor highlight = memo_->palette().color(QPalette::Highlight);
  EXPECT_GT(CountColour(memo_->viewport()->grab().toImage(), highlight), 1000);
  other_->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(CountColour(memo_->viewport()->grab().toImage(), highlight), 0);
  memo_->setFocus();
  QApplication::processEvents();
  EXPECT_GT(CountColour(memo_->viewport()->grab().toImage(), highlight), 1000);
}

TEST_F(MemoWidget, InputMethodCommitsAsOneEditAndSeesBoundedText) {
  memo_->SetText(std::string(1000000, 'A'));
  memo_->SetSelection(500000, 500000);
  QInputMethodEvent preedit(QStringLiteral("zhong"), {});
  QApplication::sendEvent(memo_, &preedit);
  EXPECT_EQ(memo_->TextLength(), 1000000);
  QInputMethodEvent commit;
  commit.setCommitString(QStringLiteral("中文"));
  QApplication::sendEvent(memo_, &commit);
  EXPECT_EQ(memo_->TextLength(), 1000006);
  EXPECT_EQ(memo_->Model().Mid(500000, 6), "中文");
  EXPECT_EQ(memo_->CaretPos(), 500006);

  const QString around = memo_->inputMethodQuery(Qt::ImSurroundingText).toString();
  const int cursor = memo_->inputMethodQuery(Qt::ImCursorPosition).toInt();
  EXPECT_LE(around.size(), 2048);
  EXPECT_GT(around.size(), 1000);
  EXPECT_EQ(around.mid(cursor - 2, 2), QStringLiteral("中文"));
  EXPECT_EQ(memo_->inputMethodQuery(Qt::ImCursorRectangle).toRect(),
            memo_->PosRect(memo_->CaretPos()));

  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(memo_->TextLength(), 1000000);
}

TEST_F(MemoWidget, AccessibleTextWorksOnVisualLinesAndBoundedRanges) {
  memo_->SetText(std::string(200000, '5') + "\r\nlast");
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(memo_);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->role(), QAccessible::EditableText);
  EXPECT_TRUE(a->state().multiLine);
  EXPECT_TRUE(a->state().editable);
  QAccessibleTextInterface* t = a->textInterface();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->characterCount(), 200006);
  int start = 0, end = 0;
  const int64_t line2 = memo_->Layout().LineStart(1);
  const QString line =
      t->textAtOffset(static_cast<int>(line2) + 3, QAccessible::LineBoundary, &start, &end);
  EXPECT_EQ(start, line2);
  EXPECT_EQ(end, memo_->Layout().LineStart(2));
  EXPECT_EQ(line.size(), end - start);
  EXPECT_EQ(t->text(0, 200006).size(), 65536);
  t->textAfterOffset(0, QAccessible::LineBoundary, &start, &end);
  EXPECT_EQ(start, line2);
  EXPECT_EQ(t->textAtOffset(200003, QAccessible::WordBoundary, &start, &end),
            QStringLiteral("last"));
  t->setSelection(0, 10, 20);
  EXPECT_EQ(memo_->SelStart(), 10);
  EXPECT_EQ(memo_->SelEnd(), 20);
  a->editableTextInterface()->insertText(0, QStringLiteral("AB"));
  EXPECT_EQ(memo_->Model().Mid(0, 3), "AB5");
}

// Assistive tools are told what changed (a text-update event made from the
// document's last change), its texts bounded: a 20-million-character text is
// never copied for them.
TEST_F(MemoWidget, AssistiveToolsHearWhatChangedBounded) {
  memo_->SetText("one two");
  memo_->SetSelection(4, 7);
  Key(Qt::Key_X);
  const TMemoChange& typed = memo_->Document().LastChange();
  EXPECT_EQ(typed.pos, 4);
  EXPECT_EQ(typed.removed, "two");
  EXPECT_EQ(typed.inserted, "x");
  memo_->SetText(std::string(20'000'000, '7'));
  const TMemoChange& replaced = memo_->Document().LastChange();
  EXPECT_EQ(replaced.pos, 0);
  EXPECT_EQ(replaced.removed, "one x");
  EXPECT_EQ(static_cast<int64_t>(replaced.inserted.size()), TMemoChange::kNoteBytes);
  Key(Qt::Key_Z, Qt::ControlModifier);  // SetText keeps no history: nothing changes
  EXPECT_EQ(memo_->Document().LastChange().removed, "one x");
}

// Random edits through the widget, with the real font: the index must match a box
// that was given the final text whole.
TEST_F(MemoWidget, EditsWithTheRealFontMatchAFullWrap) {
  std::mt19937_64 rng(99);
  std::string model = testing_support::RandomHex(rng, 30000);
  memo_->SetText(model);
  TMemo fresh(window_.get());
  fresh.setGeometry(memo_->geometry());
  fresh.show();
  QApplication::processEvents();
  const std::string pieces[] = {"A", "FF", "\r\n", " ", "word ", "中文", "\n", "0000000000"};
  for (int step = 0; step < 300; ++step) {
    const int64_t pos = memo_->Align(static_cast<int64_t>(rng() % (model.size() + 1)));
    const int64_t count = memo_->Align(std::min<int64_t>(pos + static_cast<int64_t>(rng() % 30),
                                                         static_cast<int64_t>(model.size()))) -
                          pos;
    const std::string& piece = pieces[rng() % 8];
    memo_->ReplaceRange(pos, std::max<int64_t>(0, count), piece);
    model.replace(static_cast<size_t>(pos), static_cast<size_t>(std::max<int64_t>(0, count)),
                  piece);
    if (step % 7 == 6) {
      memo_->Undo();
      model = memo_->Text();
    }
    if (step == 150) {
      memo_->setGeometry(8, 8, 200, 311);
      fresh.setGeometry(8, 8, 200, 311);
      QApplication::processEvents();
    }
    ASSERT_EQ(memo_->Text(), model) << step;
    fresh.SetText(model);
    ASSERT_EQ(memo_->Layout().LineCount(), fresh.Layout().LineCount()) << step;
    for (int64_t i = 0; i < fresh.Layout().LineCount(); ++i) {
      ASSERT_EQ(memo_->Layout().LineStart(i), fresh.Layout().LineStart(i)) << step;
    }
  }
}

void ExpectSameLayout(const TMemo& a, const TMemo& b) {
  ASSERT_EQ(a.Layout().LineCount(), b.Layout().LineCount());
  for (int64_t i = 0; i < a.Layout().LineCount(); ++i)
    ASSERT_EQ(a.Layout().LineStart(i), b.Layout().LineStart(i)) << i;
}

// A text wrapped on another thread with the box's settings (characters the box
// has not measured yet included), then taken in: the same text, lines and
// state as SetText, the buffer not copied; the old text goes into the undo
// history, and Undo brings it back.
TEST_F(MemoWidget, TextWrappedOnAnotherThreadIsTakenAsSetTextWouldSetIt) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "0123456789ABCDEF"[(i * 7) & 15];
  text += " \xE4\xB8\xAD\xE6\x96\x87\tword\r\nnext \xF0\x9F\x98\x80 line";  // 中文, a tab, an emoji
  memo_->ReplaceSelection("typed");
  TMemo reference(window_.get());
  reference.setGeometry(memo_->geometry());
  reference.show();
  QApplication::processEvents();
  reference.SetText(text);

  TMemo::TWrapSettings settings = memo_->WrapSettingsForThread();
  TMemoContent content;
  const char* bytes = text.data();
  std::thread worker([&] {
    content = TMemoContent::Prepare(std::move(text), settings.advances.get(), settings.width);
  });
  worker.join();
  memo_->TakeContent(content, settings);

  EXPECT_EQ(memo_->Text(), reference.Text());
  EXPECT_EQ(memo_->Model().Run(0).data(), bytes);
  ExpectSameLayout(*memo_, reference);
  EXPECT_EQ(memo_->CaretPos(), 0);
  EXPECT_EQ(memo_->TopLine(), 0);
  ASSERT_NE(content.text, nullptr);
  EXPECT_EQ(content.text->Length(), 0);
  ASSERT_TRUE(memo_->CanUndo());
  memo_->Undo();
  EXPECT_EQ(memo_->Text(), "\r\ntyped");
}

// The box changed its width after the settings were taken: the text is
// wrapped again for the width it has now.
TEST_F(MemoWidget, TextWrappedForAnOldWidthIsWrappedAgain) {
  const std::string text(5000, 'A');
  TMemo::TWrapSettings settings = memo_->WrapSettingsForThread();
  TMemoContent content = TMemoContent::Prepare(text, settings.advances.get(), settings.width);
  memo_->setGeometry(8, 8, 150, 311);
  QApplication::processEvents();
  memo_->TakeContent(content, settings);
  TMemo reference(window_.get());
  reference.setGeometry(memo_->geometry());
  reference.show();
  QApplication::processEvents();
  reference.SetText(text);
  ExpectSameLayout(*memo_, reference);
}

}  // namespace
}  // namespace qv
