#include "app/unit1.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <vector>

#include "app/application.h"
#include "app/colors.h"
#include "app/image_box.h"
#include "app/memo/memo.h"
#include "app/message_box.h"
#include "app/panel.h"
#include "app/status_bar.h"
#include "app/tool_button.h"
#include "app/toolbar.h"
#include "base/exceptions.h"
#include "conversion/jpeg_registration.h"
#include "graphics/screen.h"
#include "tests/test_support.h"

namespace qv {
namespace {

QRect GeometryOf(const QWidget* w) {
  return w->geometry();
}

// Palette colours carry 16-bit channels; painted pixels 8-bit ones.
QRgb Rgb(QColor c) {
  return c.rgb() | 0xFF000000u;
}
QRgb Px(const QImage& image, int x, int y) {
  return image.pixel(x, y) | 0xFF000000u;
}

void ExpectNear(QColor a, QColor b, int tolerance) {
  EXPECT_NEAR(a.red(), b.red(), tolerance);
  EXPECT_NEAR(a.green(), b.green(), tolerance);
  EXPECT_NEAR(a.blue(), b.blue(), tolerance);
}

TEST(MainWindow, MembersSitAtTheirPlacesAt96Dpi) {
  TForm1 form(nullptr);
  ASSERT_DOUBLE_EQ(form.Scale(), 1.0) << "the reference font should measure 13 pixels high";
  EXPECT_EQ(form.size(), QSize(924, 601));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Quorvane"));
  struct Case {
    const QWidget* widget;
    QRect rect;
  };
  const std::vector<Case> cases = {
      {form.RzToolbar1, {0, 0, 924, 29}},   {form.Panel1, {8, 32, 313, 225}},
      {form.Image1, {2, 2, 309, 221}},      {form.Memo1, {8, 263, 313, 311}},
      {form.Panel2, {327, 35, 589, 539}},   {form.Image2, {1, 1, 587, 537}},
      {form.StatusBar1, {0, 582, 924, 19}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(GeometryOf(c.widget), c.rect) << c.widget->metaObject()->className();

  // The toolbar members side by side from x = 4, all at top 2, 25 high; the
  // button widths follow the caption widths of the font in use.
  const std::vector<QWidget*> order = {form.RzToolButton1, form.RzSpacer1,     form.RzToolButton2,
                                       form.RzSpacer2,     form.RzToolButton3, form.RzSpacer3,
                                       form.RzToolButton4};
  EXPECT_EQ(form.RzToolbar1->ToolbarControls(), order);
  int x = 4;
  for (QWidget* member : order) {
    EXPECT_EQ(member->geometry().topLeft(), QPoint(x, 2));
    EXPECT_EQ(member->height(), 25);
    x += member->width();
  }
  for (TRzToolButton* button :
       {form.RzToolButton1, form.RzToolButton2, form.RzToolButton3, form.RzToolButton4}) {
    EXPECT_EQ(button->width(),
              16 + button->fontMetrics().horizontalAdvance(button->Caption()) + 12);
  }
  EXPECT_EQ(form.RzSpacer1->size(), QSize(8, 25));
}

// Holds at any screen resolution; ctest also runs it at 72 and 144 dpi, where
// the window font measures other than 13 pixels and everything scales.
TEST(ScaledWindow, ToolbarRowsScaleWithEverythingElse) {
  TForm1 form(nullptr);
  RecordProperty("scale", std::to_string(form.Scale()));
  auto scaled = [&](int v) { return static_cast<int>(std::lround(v * form.Scale())); };
  EXPECT_EQ(form.size(), QSize(scaled(924), scaled(601)));
  EXPECT_EQ(form.RzToolbar1->RowHeight(), scaled(25));
  EXPECT_EQ(form.RzToolbar1->height(), scaled(25) + 4);
  // The toolbar ends above the preview panel's frame.
  EXPECT_LT(form.RzToolbar1->geometry().bottom(), form.Panel1->geometry().top());
  for (QWidget* member : form.RzToolbar1->ToolbarControls()) {
    EXPECT_EQ(member->height(), scaled(25)) << member->metaObject()->className();
    EXPECT_TRUE(form.RzToolbar1->rect().contains(member->geometry()))
        << member->metaObject()->className();
  }
}

TEST(MainWindow, StartsWithCrLfEmptyStatusAndTheTextBoxHasTheFocus) {
  TForm1 form(nullptr);
  EXPECT_EQ(form.Memo1->Text(), "\r\n");
  EXPECT_TRUE(form.StatusBar1->PanelText().isEmpty());
  // Only the text box takes the focus from a click; the buttons from Tab alone.
  const std::vector<QWidget*> buttons = {form.RzToolButton1, form.RzToolButton2, form.RzToolButton3,
                                         form.RzToolButton4};
  for (QWidget* child : form.findChildren<QWidget*>()) {
    if (child == form.Memo1 || form.Memo1->isAncestorOf(child)) continue;
    const bool button = std::find(buttons.begin(), buttons.end(), child) != buttons.end();
    EXPECT_EQ(child->focusPolicy(), button ? Qt::TabFocus : Qt::NoFocus)
        << child->metaObject()->className();
  }
  form.show();
  QApplication::setActiveWindow(&form);
  EXPECT_TRUE(form.Memo1->hasFocus() || form.focusWidget() == form.Memo1);
}

// Tab goes from the text box along the four buttons and back, Shift+Tab the
// other way; Space or Enter on a focused button runs its command. A click on a
// button leaves the focus where it was, so a mouse user never sees the frame.
TEST(MainWindow, TabReachesTheButtonsAndTheKeysPressThem) {
  if (testing_support::kThreadSanitizer)
    GTEST_SKIP() << "the window is painted on Qt's own threads";
  TForm1 form(nullptr);
  std::vector<int> pressed;
  const std::vector<TRzToolButton*> buttons = {form.RzToolButton1, form.RzToolButton2,
                                               form.RzToolButton3, form.RzToolButton4};
  for (int i = 0; i < 4; ++i) buttons[i]->OnClick = [&pressed, i] { pressed.push_back(i + 1); };
  form.show();
  QApplication::setActiveWindow(&form);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form, 120000));
  form.Memo1->setFocus();
  for (TRzToolButton* button : buttons) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), button) << button->Caption().toStdString();
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), form.Memo1);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), form.RzToolButton4);

  form.RzToolButton2->setFocus(Qt::TabFocusReason);
  QTest::keyClick(form.RzToolButton2, Qt::Key_Space);
  QTest::keyClick(form.RzToolButton2, Qt::Key_Return);
  EXPECT_EQ(pressed, (std::vector<int>{2, 2}));

  form.Memo1->setFocus();
  QTest::mouseClick(form.RzToolButton3, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_EQ(pressed, (std::vector<int>{2, 2, 3}));
  EXPECT_EQ(QApplication::focusWidget(), form.Memo1);
}

// The four commands from the keyboard anywhere in the window, the text box
// included (its own keys are none of these), each key shown in its tooltip.
TEST(MainWindow, CommandKeysRunTheCommandsAndAreShownInTheTooltips) {
  if (testing_support::kThreadSanitizer)
    GTEST_SKIP() << "the window is painted on Qt's own threads";
  TApplication application("/usr/bin/quorvane");
  std::vector<QString> shown;
  const TMessageBoxPresenter saved = MessageBoxPresenter();
  MessageBoxPresenter() = [&](QWidget*, const QString& text, const QString&, unsigned) {
    shown.push_back(text);
    return IDOK;
  };
  TForm1 form(nullptr);
  form.show();
  QApplication::setActiveWindow(&form);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form, 120000));
  form.Memo1->setFocus();
  const struct {
    TRzToolButton* button;
    QKeySequence key;
  } cases[] = {{form.RzToolButton1, TForm1::kOpenKey},
               {form.RzToolButton2, TForm1::kToHexKey},
               {form.RzToolButton3, TForm1::kToPictureKey},
               {form.RzToolButton4, TForm1::kExitKey}};
  for (const auto& c : cases) {
    EXPECT_TRUE(c.button->toolTip().contains(c.key.toString(QKeySequence::NativeText)))
        << c.button->toolTip().toStdString();
    EXPECT_EQ(c.button->Shortcut(), c.key);
  }
  // Picture to hex with nothing opened warns; hex to picture of CR LF fails
  // with #53; both through the error display, as from the buttons.
  QTest::keySequence(form.Memo1, TForm1::kToHexKey);
  QTest::keySequence(form.Memo1, TForm1::kToPictureKey);
  MessageBoxPresenter() = saved;
  EXPECT_EQ(shown, (std::vector<QString>{QString::fromUtf8("请选择图片！"),
                                         QStringLiteral("JPEG error #53.")}));
  EXPECT_EQ(form.Memo1->Text(), "\r\n") << "the keys typed nothing into the text box";
}

// What assistive tools read: roles, Chinese names and descriptions, the
// buttons' press action, the picture boxes' sizes and the status text.
TEST(MainWindow, AssistiveToolsReadNamesRolesAndDescriptions) {
  if (testing_support::kThreadSanitizer)
    GTEST_SKIP() << "the window is painted on Qt's own threads";
  TForm1 form(nullptr);
  form.show();
  auto iface = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w); };
  const struct {
    QWidget* widget;
    QAccessible::Role role;
    QString name;
  } cases[] = {
      {form.RzToolButton1, QAccessible::Button, QString::fromUtf8("打开图片")},
      {form.RzToolButton2, QAccessible::Button, QString::fromUtf8("图片转16进制")},
      {form.RzToolButton3, QAccessible::Button, QString::fromUtf8("16进制图片还原")},
      {form.RzToolButton4, QAccessible::Button, QString::fromUtf8("退出")},
      {form.Image1, QAccessible::Graphic, QString::fromUtf8("打开的图片")},
      {form.Image2, QAccessible::Graphic, QString::fromUtf8("还原的图片")},
      {form.Memo1, QAccessible::EditableText, QString::fromUtf8("16进制文本")},
      {form.RzToolbar1, QAccessible::ToolBar, QString::fromUtf8("工具栏")},
      {form.StatusBar1, QAccessible::StatusBar, QString()},
  };
  for (const auto& c : cases) {
    QAccessibleInterface* a = iface(c.widget);
    ASSERT_NE(a, nullptr) << c.name.toStdString();
    EXPECT_EQ(a->role(), c.role) << c.name.toStdString();
    EXPECT_EQ(a->text(QAccessible::Name), c.name);
    EXPECT_FALSE(a->text(QAccessible::Description).isEmpty()) << c.name.toStdString();
  }
  EXPECT_TRUE(iface(form.RzToolButton1)->state().focusable);
  EXPECT_EQ(iface(form.Image1)->text(QAccessible::Description), QString::fromUtf8("没有图片"));
  RegisterJPEGFormats();
  form.Image1->Picture().OpenPictureFile(std::string(QUORVANE_CORPUS_DIR) +
                                         "/jpeg/good/ljt-testorig.jpg");
  UnregisterJPEGFormats();
  EXPECT_EQ(iface(form.Image1)->text(QAccessible::Description),
            QString::fromUtf8("图片大小：227 × 149 像素"));
  form.StatusBar1->SetPanelText(QString::fromUtf8("图片转换完成"));
  EXPECT_EQ(iface(form.StatusBar1)->text(QAccessible::Name), QString::fromUtf8("图片转换完成"));

  // The press action clicks once the call has returned (a command may open a
  // modal dialog).
  int clicks = 0;
  form.RzToolButton2->OnClick = [&] { ++clicks; };
  QAccessibleActionInterface* actions = iface(form.RzToolButton2)->actionInterface();
  ASSERT_NE(actions, nullptr);
  ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
  actions->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(clicks, 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return clicks == 1; }, 120000));
}

TEST(Toolbar, PaintsGrooveThenGradientFromWindowToDarkenedFace) {
  TForm1 form(nullptr);
  const QImage image = form.RzToolbar1->grab().toImage();
  const int w = image.width();
  auto pixel = [&](int x, int y) { return Px(image, x, y); };
  // Sample columns clear of the members (past x = 368).
  for (int x : {w - 1, w - 100, 400}) {
    EXPECT_EQ(pixel(x, 0), Rgb(ButtonShadowColor())) << x;
    EXPECT_EQ(pixel(x, 1), Rgb(ButtonHighlightColor())) << x;
    EXPECT_EQ(pixel(x, 2), Rgb(TRzToolbar::GradientTop())) << x;
    ExpectNear(QColor(pixel(x, image.height() - 1)), TRzToolbar::GradientBottom(), 3);
  }
  // Constant along each row.
  for (int y = 2; y < image.height(); ++y) EXPECT_EQ(pixel(380, y), pixel(w - 1, y)) << y;
}

TEST(Colors, HlsRoundTripsAndDarkens) {
  for (QColor c :
       {QColor(240, 240, 240), QColor(0, 120, 215), QColor(255, 0, 0), QColor(10, 200, 30)}) {
    const QColor back = HlsToColor(ColorToHls(c));
    EXPECT_NEAR(back.red(), c.red(), 3);
    EXPECT_NEAR(back.green(), c.green(), 3);
    EXPECT_NEAR(back.blue(), c.blue(), 3);
  }
  // A grey face colour (240) darkened by 10 on the 0..240 lightness scale.
  EXPECT_EQ(DarkerBy(QColor(240, 240, 240), 10), QColor(229, 229, 229));
  EXPECT_EQ(DarkerBy(QColor(0, 0, 0), 10), QColor(0, 0, 0));
  EXPECT_EQ(LighterBy(QColor(255, 255, 255), 20), QColor(255, 255, 255));
  EXPECT_EQ(MixColors(QColor(0, 120, 215), QColor(255, 255, 255), 77), QColor(178, 214, 243));
}

class ButtonLooks : public testing::Test {
 protected:
  void SetUp() override {
    form_.show();
    button_ = form_.RzToolButton3;
    button_->OnClick = [this] { ++clicks_; };
  }
  void Enter() {
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(button_, &enter);
  }
  void Leave() {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button_, &leave);
  }
  void Mouse(QEvent::Type type, QPoint at) {
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, button_->mapToGlobal(at),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(button_, &event);
  }
  QColor Centre() { return QColor(button_->grab().toImage().pixel(1, button_->height() / 2)); }

  TForm1 form_{nullptr};
  TRzToolButton* button_ = nullptr;
  int clicks_ = 0;
};

TEST_F(ButtonLooks, NormalHotPressedDraggedOffBackReleased) {
  using L = TRzToolButton::TLook;
  const QColor normal = Centre();
  EXPECT_EQ(button_->Look(), L::Normal);
  Enter();
  EXPECT_EQ(button_->Look(), L::Hot);
  const QImage hot = button_->grab().toImage();
  EXPECT_EQ(Px(hot, 0, 10), Rgb(SelectionHighlightColor()));  // the frame
  EXPECT_NE(Centre(), normal);
  Mouse(QEvent::MouseButtonPress, {10, 10});
  EXPECT_EQ(button_->Look(), L::Pressed);
  const QImage pressed = button_->grab().toImage();
  // Reversed gradient: what was at the top is now at the bottom.
  ExpectNear(QColor(pressed.pixel(5, 1)), QColor(hot.pixel(5, hot.height() - 2)), 3);
  ExpectNear(QColor(pressed.pixel(5, pressed.height() - 2)), QColor(hot.pixel(5, 1)), 3);
  EXPECT_NE(Px(pressed, 5, 1), Px(hot, 5, 1));
  Mouse(QEvent::MouseMove, {-20, 10});
  EXPECT_EQ(button_->Look(), L::Normal);
  Mouse(QEvent::MouseMove, {10, 10});
  EXPECT_EQ(button_->Look(), L::Pressed);
  Mouse(QEvent::MouseButtonRelease, {10, 10});
  EXPECT_EQ(clicks_, 1);
  EXPECT_EQ(button_->Look(), L::Hot);
  Leave();
  EXPECT_EQ(button_->Look(), L::Normal);
}

TEST_F(ButtonLooks, ReleaseOutsideRunsNothing) {
  Enter();
  Mouse(QEvent::MouseButtonPress, {10, 10});
  Mouse(QEvent::MouseMove, {500, 10});
  Mouse(QEvent::MouseButtonRelease, {500, 10});
  EXPECT_EQ(clicks_, 0);
  // Right button does nothing either.
  QMouseEvent right(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), Qt::RightButton,
                    Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(button_, &right);
  EXPECT_EQ(clicks_, 0);
}

TEST_F(ButtonLooks, FlatFillOnAnEightBitScreen) {
  SetScreenBitsPerPixelQuery([] { return 8; });
  Enter();
  const QImage flat = button_->grab().toImage();
  SetScreenBitsPerPixelQuery({});
  EXPECT_EQ(Px(flat, 5, 1), Px(flat, 5, flat.height() - 2));
}

TEST(Separator, DrawsAnEtchedLineInColumnsThreeAndFour) {
  TForm1 form(nullptr);
  const QImage image = form.RzSpacer1->grab().toImage();
  for (int y = 1; y < 25; ++y) {
    EXPECT_EQ(Px(image, 3, y), Rgb(ButtonShadowColor())) << y;
    EXPECT_EQ(Px(image, 4, y), Rgb(ButtonHighlightColor())) << y;
  }
}

TEST(Panels, EtchedFrameAndRaisedBevel) {
  TForm1 form(nullptr);
  const QImage one = form.Panel1->grab().toImage();
  EXPECT_EQ(Px(one, 0, 0), Rgb(ButtonShadowColor()));
  EXPECT_EQ(Px(one, 312, 224), Rgb(ButtonShadowColor()));
  EXPECT_EQ(Px(one, 1, 1), Rgb(ButtonFaceColor()));
  const QImage two = form.Panel2->grab().toImage();
  EXPECT_EQ(Px(two, 0, 100), Rgb(ButtonHighlightColor()));
  EXPECT_EQ(Px(two, 100, 0), Rgb(ButtonHighlightColor()));
  EXPECT_EQ(Px(two, 588, 100), Rgb(ButtonShadowColor()));
  EXPECT_EQ(Px(two, 100, 538), Rgb(ButtonShadowColor()));
  // An empty picture box lets the panel's button face show.
  EXPECT_EQ(Px(two, 300, 300), Rgb(ButtonFaceColor()));
}

TEST(StatusBar, LongTextIsCutAtTheRightEdgeNotAt200Pixels) {
  TForm1 form(nullptr);
  form.StatusBar1->SetPanelText(QString(300, QChar(u'W')));
  const QImage image = form.StatusBar1->grab().toImage();
  bool ink_past_200 = false;
  for (int x = 300; x < 900 && !ink_past_200; ++x) {
    for (int y = 4; y < 16; ++y) {
      if (Px(image, x, y) != Rgb(ButtonFaceColor())) ink_past_200 = true;
    }
  }
  EXPECT_TRUE(ink_past_200);
}

TEST(MainWindow, AFailingCommandIsReportedAndTheWindowStaysUsable) {
  TApplication application("/usr/bin/quorvane");
  std::vector<QString> shown;
  const TMessageBoxPresenter saved = MessageBoxPresenter();
  MessageBoxPresenter() = [&](QWidget*, const QString& text, const QString&, unsigned) {
    shown.push_back(text);
    return IDOK;
  };
  TForm1 form(nullptr);
  form.show();
  int good = 0;
  form.RzToolButton1->OnClick = [] { throw EJPEG("JPEG error #53"); };
  form.RzToolButton2->OnClick = [&] { ++good; };
  QTest::mouseClick(form.RzToolButton1, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  QTest::mouseClick(form.RzToolButton2, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  MessageBoxPresenter() = saved;
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], QStringLiteral("JPEG error #53."));
  EXPECT_EQ(good, 1);
  EXPECT_TRUE(form.isEnabled());
}

}  // namespace
}  // namespace qv
