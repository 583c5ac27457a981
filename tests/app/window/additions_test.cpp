// The window's additions on the real window offscreen: the text box's tools,
// the stop report, the restored picture's menu and tooltips, files from the
// desktop. The specified commands are exercised in commands_test.cpp.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/image_box.h"
#include "app/memo/memo.h"
#include "app/message_box.h"
#include "app/open_dialog.h"
#include "app/picture_facts.h"
#include "app/status_bar.h"
#include "app/text_file_decoding.h"
#include "app/text_worker.h"
#include "app/unit1.h"
#include "base/exceptions.h"
#include "conversion/jpeg_image.h"
#include "conversion/jpeg_registration.h"
#include "graphics/picture.h"
#include "tests/test_seeds.h"
#include "tests/test_support.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

const std::string kCorpus = QUORVANE_CORPUS_DIR;
const std::string kPicture = kCorpus + "/jpeg/good/ljt-testorig.jpg";

using testing_support::ReadAll;
using testing_support::UpperHex;

std::string Shell(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

QString Q(const char* utf8) {
  return QString::fromUtf8(utf8);
}

class Additions : public testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterJPEGFormats(); }
  static void TearDownTestSuite() { UnregisterJPEGFormats(); }

  void SetUp() override {
    saved_ = MessageBoxPresenter();
    MessageBoxPresenter() = [this](QWidget*, const QString& text, const QString& caption,
                                   unsigned flags) {
      boxes_.push_back({text, caption, flags});
      return answer_;
    };
    application_ = std::make_unique<TApplication>("/usr/bin/quorvane");
    form_ = std::make_unique<TForm1>(nullptr);
    std::random_device random;
    dir_ = fs::temp_directory_path() / ("quorvane-additions-" + std::to_string(random()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    form_.reset();
    application_.reset();
    MessageBoxPresenter() = saved_;
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  QString Status() const { return form_->StatusBar1->PanelText(); }
  // Waits for the text worker's job, serving its steps.
  void WaitForTextWorker() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form_->TextWorker->Busy(); }, 120000));
    QApplication::processEvents();
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  QAction* MenuAction(QMenu& menu, const char* name) {
    return menu.findChild<QAction*>(QString::fromLatin1(name));
  }

  struct Box {
    QString text, caption;
    unsigned flags;
  };
  std::vector<Box> boxes_;
  int answer_ = IDOK;
  TMessageBoxPresenter saved_;
  std::unique_ptr<TApplication> application_;
  std::unique_ptr<TForm1> form_;
  fs::path dir_;
};

// ---- tidying ----

TEST_F(Additions, TidyTurnsAnXxdDumpIntoTheStrictRunAsOneUndoableEdit) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows: the fixtures come from xxd, a tool of the Linux build machine";
#endif
  const std::string dump = Shell("xxd '" + kPicture + "'");
  ASSERT_FALSE(dump.empty()) << "xxd is needed (scripts/install-deps.sh)";
  form_->Memo1->SetText("\r\n" + dump);
  form_->TidyHexText();
  EXPECT_EQ(form_->Memo1->Text(), UpperHex(ReadAll(kPicture)));
  EXPECT_EQ(Status(), Q("识别为xxd 转储：删除 13,004 个字符，共 5,770 字节"));
  // Hex to picture now gives the file's bytes.
  form_->RzToolButton3Click();
  auto* restored = dynamic_cast<TJPEGImage*>(form_->Image2->Picture().HeldGraphic());
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(restored->SharedData().BytesData()),
                        static_cast<size_t>(restored->SharedData().BytesSize())),
            ReadAll(kPicture));
  // One undo step brings the dump back.
  form_->Memo1->Undo();
  EXPECT_EQ(form_->Memo1->Text(), "\r\n" + dump);
  EXPECT_FALSE(form_->Memo1->CanUndo());
}

TEST_F(Additions, TidyOfALargeTextRunsOnTheWorker) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows: the fixtures come from xxd, a tool of the Linux build machine";
#endif
  // About 3 MB of C array: past the size tidied at once.
  const std::string bytes = ReadAll(kCorpus + "/jpeg/good/large-pillars-2048x2048.jpg");
  const std::string array =
      Shell("xxd -i < '" + kCorpus + "/jpeg/good/large-pillars-2048x2048.jpg'");
  ASSERT_GT(array.size(), size_t{1} << 20);
  form_->Memo1->SetText(array);
  form_->TidyHexText();
  EXPECT_TRUE(form_->TextWorker->Busy() || form_->Memo1->Text() == UpperHex(bytes));
  // A second job waits for the first: it is refused, and says so.
  form_->TidyHexText();
  WaitForTextWorker();
  EXPECT_EQ(form_->Memo1->Text(), UpperHex(bytes));
  EXPECT_TRUE(Status().startsWith(Q("识别为0x 列表"))) << Status().toStdString();
  // The text made on the worker is one undoable edit too.
  form_->Memo1->Undo();
  EXPECT_EQ(form_->Memo1->Text(), array);
  EXPECT_FALSE(form_->Memo1->CanUndo());
  form_->Memo1->Redo();
  EXPECT_EQ(form_->Memo1->Text(), UpperHex(bytes));
}

TEST_F(Additions, TidyLeavesTheTextWhenItIsRefusedEditedOrLossyAndDeclined) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows: the fixtures come from xxd, a tool of the Linux build machine";
#endif
  form_->Memo1->SetText("Hello, world!");
  form_->TidyHexText();
  EXPECT_EQ(form_->Memo1->Text(), "Hello, world!");
  EXPECT_EQ(Status(), Q("无法识别的16进制文本：第 1 行第 1 个字符 'H'"));
  EXPECT_FALSE(form_->Memo1->CanUndo());

  // A dump with a line missing: the user is asked first.
  const std::string gap =
      "00000000: ffd8 ffe0 0010 4a46 4946 0001 0101 0048  ......JFIF.....H\n"
      "00000020: 0048 0000 ffdb 0043 0008 0606 0706 0508  .H.....C........\n";
  form_->Memo1->SetText(gap);
  answer_ = IDNO;
  form_->TidyHexText();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_TRUE(boxes_[0].text.contains(Q("缺少字节"))) << boxes_[0].text.toStdString();
  EXPECT_EQ(boxes_[0].flags, MB_YESNO | MB_ICONWARNING);
  EXPECT_EQ(form_->Memo1->Text(), gap);
  EXPECT_TRUE(Status().startsWith(Q("未整理："))) << Status().toStdString();
  answer_ = IDYES;
  form_->TidyHexText();
  EXPECT_EQ(form_->Memo1->Text(),
            "FFD8FFE000104A46494600010101004800480000FFDB00430008060607060508");

  // Typed into while the worker reads it: the result is not applied.
  const std::string array =
      Shell("xxd -i < '" + kCorpus + "/jpeg/good/large-pillars-2048x2048.jpg'");
  form_->Memo1->SetText(array);
  form_->TidyHexText();
  form_->Memo1->ReplaceRange(0, 0, "x");  // before the worker's result is served
  WaitForTextWorker();
  EXPECT_EQ(form_->Memo1->Text(), "x" + array);
  EXPECT_EQ(Status(), Q("文本已改动，未整理；请再整理一次"));
}

// ---- the stop report ----

TEST_F(Additions, HexToPictureSaysWhereTheHexStopped) {
  const std::string hex = UpperHex(ReadAll(kPicture));
  // The first thing a new user meets: the box's own line break before the hex.
  form_->Memo1->SetText("\r\n" + hex);
  EXPECT_THROW(form_->RzToolButton3Click(), EJPEG);
  EXPECT_EQ(Status(), Q("文本以换行开头，16进制在第 1 个字符处停止：已还原 0 字节。"
                        "右键菜单“整理为16进制”可去掉换行"));
  // A blank past the header: the picture loads, cut short.
  form_->Memo1->SetText(hex.substr(0, 8000) + " " + hex.substr(8000));
  form_->RzToolButton3Click();
  EXPECT_EQ(Status(), Q("16进制在第 8,001 个字符处停止（空格）：已还原 4,000 字节。"
                        "右键菜单“整理为16进制”可整理"));
  // A text read to its end leaves no stale report behind.
  form_->Memo1->SetText(hex);
  form_->RzToolButton3Click();
  EXPECT_EQ(Status(), QString());
  // ...and leaves other status texts alone.
  form_->StatusBar1->SetPanelText(Q("图片转换完成"));
  form_->RzToolButton3Click();
  EXPECT_EQ(Status(), Q("图片转换完成"));
}

// ---- the menu, copying ----

TEST_F(Additions, TheTextBoxMenuAddsItsToolsAfterTheEditEntries) {
  std::unique_ptr<QMenu> menu(form_->Memo1->CreateContextMenu());
  QStringList texts;
  for (QAction* action : menu->actions())
    texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
  EXPECT_EQ(texts, QStringList({Q("撤消(&U)"), "-", Q("剪切(&T)"), Q("复制(&C)"), Q("粘贴(&P)"),
                                Q("删除(&D)"), "-", Q("全选(&A)"), "-", Q("整理为16进制(&N)"),
                                Q("复制为(&F)"), "-", Q("打开16进制文本(&O)…"),
                                Q("保存16进制文本(&S)…")}));
  // No two entries of a menu share an accelerator.
  auto accelerators = [](QMenu& m) {
    QStringList keys;
    for (QAction* action : m.actions()) {
      const qsizetype amp = action->text().indexOf(u'&');
      if (amp >= 0) keys << action->text().mid(amp + 1, 1).toUpper();
    }
    return keys;
  };
  const QStringList top = accelerators(*menu);
  EXPECT_EQ(QSet<QString>(top.begin(), top.end()).size(), top.size())
      << top.join(u' ').toStdString();
  auto* copy_as = menu->findChild<QMenu*>(QStringLiteral("copyAs"));
  ASSERT_NE(copy_as, nullptr);
  EXPECT_EQ(copy_as->actions().size(), 13);
  const QStringList sub = accelerators(*copy_as);
  EXPECT_EQ(sub.size(), 13);
  EXPECT_EQ(QSet<QString>(sub.begin(), sub.end()).size(), sub.size())
      << sub.join(u' ').toStdString();
}

TEST_F(Additions, CopyAsCArrayMatchesXxd) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows: the fixtures come from xxd, a tool of the Linux build machine";
#endif
  form_->OpenPictureFromDesktop(kPicture);
  form_->Memo1->SetText(UpperHex(ReadAll(kPicture)));
  form_->CopyHexTextAs(TTextForm::CArray);
  const std::string expected = Shell("cd '" + kCorpus + "/jpeg/good' && xxd -i ljt-testorig.jpg");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), expected);
  EXPECT_EQ(Status(), Q("已复制为C 数组 (xxd -i)：5,770 字节"));

  // Nothing to copy from the box's first text: said, the clipboard unchanged.
  form_->Memo1->SetText("\r\nFFD8");
  form_->CopyHexTextAs(TTextForm::Base64);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), expected);
  EXPECT_TRUE(Status().startsWith(Q("没有可复制的字节"))) << Status().toStdString();
}

// ---- saving and loading the text ----

TEST_F(Additions, SavedTextsInTwoFormsLoadBackAndTidyToTheSameHex) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows: the fixtures come from xxd, a tool of the Linux build machine";
#endif
  const std::string hex = UpperHex(ReadAll(kPicture));
  form_->Memo1->SetText(hex);
  for (const TTextForm form : {TTextForm::CArray, TTextForm::Base64Lines}) {
    const std::string path = Path(std::string("saved.") + TextFormInfo(form).Extension);
    form_->SaveHexTextTo(path, form);
    WaitForTextWorker();
    EXPECT_TRUE(Status().startsWith(Q("已保存为"))) << Status().toStdString();
    form_->Memo1->SetText("something else");
    form_->LoadHexTextFile(path);
    WaitForTextWorker();
    EXPECT_TRUE(Status().startsWith(Q("已打开16进制文本"))) << Status().toStdString();
    EXPECT_NE(form_->Memo1->Text(), hex);
    form_->TidyHexText();
    EXPECT_EQ(form_->Memo1->Text(), hex);
  }
  EXPECT_EQ(ReadAll(Path("saved.b64")), Shell("base64 '" + kPicture + "'"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"saved.b64", "saved.h"}));  // no temporaries
}

TEST_F(Additions, AFailedSaveLeavesNothingAndSaysWhy) {
  form_->Memo1->SetText(UpperHex(ReadAll(kPicture)));
  // A folder that cannot be written to (a file stands where it should be).
  WriteFile(Path("file"), "x");
  form_->SaveHexTextTo(Path("file/out.txt"), TTextForm::HexUpper);
  WaitForTextWorker();
  EXPECT_TRUE(Status().startsWith(Q("保存16进制文本失败：Cannot create file")))
      << Status().toStdString();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes_.empty(); }, 10000));
  EXPECT_TRUE(boxes_.back().text.startsWith(QStringLiteral("Cannot create file")))
      << boxes_.back().text.toStdString();

  // A full disk: the old file stays as it was, no temporary is left.
  fs::create_directory(Path("small"));
  if (std::system(
          ("mount -t tmpfs -o size=16k tmpfs '" + Path("small") + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "a small tmpfs cannot be mounted here (needs root)";
  WriteFile(Path("small/out.txt"), "the old text");
  form_->SaveHexTextTo(Path("small/out.txt"), TTextForm::HexPairs16);
  WaitForTextWorker();
  EXPECT_TRUE(Status().startsWith(Q("保存16进制文本失败："))) << Status().toStdString();
  EXPECT_TRUE(Status().contains(QStringLiteral("No space left on device")))
      << Status().toStdString();
  EXPECT_EQ(ReadAll(Path("small/out.txt")), "the old text");
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(Path("small")))
    left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"out.txt"});
  std::system(("umount '" + Path("small") + "'").c_str());
}

TEST_F(Additions, TextFilesLoadAsUtf8) {
  struct Case {
    std::string bytes;
    std::string text;
    int64_t replaced;
  } cases[] = {
      {"FFD8\r\n", "FFD8\r\n", 0},
      {"\xEF\xBB\xBF"
       "FFD8",
       "FFD8", 0},  // UTF-8 byte order mark
      {std::string("\xFF\xFE"
                   "F\0F\0\x00\x4E",
                   8),
       "FF\xE4\xB8\x80", 0},                        // UTF-16LE
      {std::string("\xFE\xFF\0F\0F", 6), "FF", 0},  // UTF-16BE
      {"FF\xD8\xFF"
       "E0",
       "FF\xEF\xBF\xBD\xEF\xBF\xBD"
       "E0",
       2},                                                          // raw bytes, not UTF-8
      {"\xE4\xB8\x80\xC3", "\xE4\xB8\x80\xEF\xBF\xBD", 1},          // cut at the end
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", 3},  // a surrogate
  };
  for (Case& c : cases) {
    std::string bytes = c.bytes;
    const TDecodedTextFile decoded = DecodeTextFile(bytes);
    EXPECT_EQ(bytes, c.text);
    EXPECT_EQ(decoded.Replaced, c.replaced);
  }
}

// ---- the restored picture ----

TEST_F(Additions, TheRestoredPictureSavesByteForByteAndCopiesAsAnImage) {
  {
    std::unique_ptr<QMenu> menu(form_->CreatePictureMenu());
    EXPECT_FALSE(MenuAction(*menu, "savePicture")->isEnabled());
    EXPECT_FALSE(MenuAction(*menu, "copyPicture")->isEnabled());
  }
  form_->Memo1->SetText(UpperHex(ReadAll(kPicture)));
  form_->RzToolButton3Click();
  std::unique_ptr<QMenu> menu(form_->CreatePictureMenu());
  EXPECT_EQ(MenuAction(*menu, "savePicture")->text(), Q("保存图片(&S)…"));
  EXPECT_TRUE(MenuAction(*menu, "savePicture")->isEnabled());
  EXPECT_TRUE(MenuAction(*menu, "copyPicture")->isEnabled());

  WriteFile(Path("restored.jpg"), "an older file");
  form_->SavePictureTo(Path("restored.jpg"));
  EXPECT_EQ(ReadAll(Path("restored.jpg")), ReadAll(kPicture));
  EXPECT_EQ(Status(),
            Q("已保存图片：") + QString::fromStdString(Path("restored.jpg")) + Q("（5,770 字节）"));

  form_->CopyPicture();
  const QImage image = QApplication::clipboard()->image();
  EXPECT_EQ(image.size(), QSize(227, 149));
}

TEST_F(Additions, TooltipsSayWhatPeopleCheckFirst) {
  EXPECT_EQ(PictureToolTip(form_->Image1->Picture(), {}), QString());
  form_->OpenPictureFromDesktop(kCorpus + "/jpeg/good/jpegsuite-prog-arith-ycbcr.jpg");
  const QString preview = form_->Image1->ToolTipText();
  EXPECT_TRUE(preview.startsWith(Q("文件：jpegsuite-prog-arith-ycbcr.jpg\n大小：")))
      << preview.toStdString();
  EXPECT_TRUE(preview.contains(Q("渐进式 JPEG"))) << preview.toStdString();
  EXPECT_TRUE(preview.contains(Q("颜色：YCbCr，3 个分量，采样 "))) << preview.toStdString();

  form_->Memo1->SetText(UpperHex(ReadAll(kPicture)));
  form_->RzToolButton3Click();
  const QString restored = form_->Image2->ToolTipText();
  EXPECT_TRUE(
      restored.startsWith(Q("大小：5,770 字节\n尺寸：227 × 149\n基线 JPEG\n颜色：YCbCr，3 个分量")))
      << restored.toStdString();

  const uint8_t h420[] = {2, 1, 1}, v420[] = {2, 1, 1};
  EXPECT_EQ(SamplingName(3, h420, v420), "4:2:0");
  const uint8_t h[] = {2, 2, 1}, v[] = {2, 1, 2};
  EXPECT_EQ(SamplingName(3, h, v), "2×2, 2×1, 1×2");
}

// ---- files from the desktop ----

TEST_F(Additions, DropsOpenPicturesAndLoadTextsOnTheTextBox) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows: the fixtures come from xxd, a tool of the Linux build machine";
#endif
  auto drop = [&](const std::vector<std::string>& paths, QPoint at) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& path : paths) urls << QUrl::fromLocalFile(QString::fromStdString(path));
    data.setUrls(urls);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form_.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent event(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form_.get(), &event);
    QApplication::processEvents();
  };
  const QPoint on_memo = form_->Memo1->geometry().center();
  const QPoint on_picture = form_->Image2->mapTo(form_.get(), form_->Image2->rect().center());

  // A picture, wherever it lands, opens as the open command opens it.
  drop({kPicture}, on_memo);
  ASSERT_NE(form_->Image1->Picture().HeldGraphic(), nullptr);
  EXPECT_EQ(form_->OpenDialog1->FileName, kPicture);  // the dialog offers it next time
  EXPECT_EQ(form_->PreviewFileName, kPicture);
  EXPECT_TRUE(boxes_.empty());

  // A text file on the text box loads into it.
  WriteFile(Path("dump.txt"), Shell("xxd '" + kPicture + "'"));
  drop({Path("dump.txt")}, on_memo);
  WaitForTextWorker();
  EXPECT_EQ(form_->Memo1->Text(), ReadAll(Path("dump.txt")));
  // Elsewhere it is a file the open command cannot open, with its error.
  drop({Path("dump.txt")}, on_picture);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, QStringLiteral("Unknown picture file extension (.txt)"));
}

TEST_F(Additions, AFileNamedAtStartOpensAndOddNamesAreSaid) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows: the expected names and texts are the Linux system's";
#endif
  form_->OpenStartupFiles({QString::fromStdString(kPicture)});
  QApplication::processEvents();
  ASSERT_NE(form_->Image1->Picture().HeldGraphic(), nullptr);
  EXPECT_TRUE(boxes_.empty());

  form_->OpenStartupFiles({QString::fromStdString(dir_.string())});
  QApplication::processEvents();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_TRUE(boxes_[0].text.contains(Q("是文件夹"))) << boxes_[0].text.toStdString();

  form_->OpenStartupFiles(
      {QString::fromStdString(Path("missing.jpg")), QString::fromStdString(kPicture)});
  QApplication::processEvents();
  ASSERT_EQ(boxes_.size(), 3u);
  EXPECT_TRUE(boxes_[1].text.contains(Q("一次只能打开一张图片"))) << boxes_[1].text.toStdString();
  EXPECT_EQ(boxes_[2].text.toStdString(),
            "Cannot open file \"" + Path("missing.jpg") + "\". No such file or directory.");
}

}  // namespace
}  // namespace qv
