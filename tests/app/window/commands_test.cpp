// The four commands and the worker's run, on the real window offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/image_box.h"
#include "app/memo.h"
#include "app/message_box.h"
#include "app/status_bar.h"
#include "app/unit1.h"
#include "base/exceptions.h"
#include "base/streams.h"
#include "conversion/threads/id_thread_component.h"
#include "conversion/jpeg_image.h"
#include "conversion/jpeg_registration.h"
#include "graphics/picture.h"

namespace qv {
namespace {

const std::string kCorpus = QUORVANE_CORPUS_DIR;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string UpperHex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string text;
  for (unsigned char c : bytes) {
    text += digits[c >> 4];
    text += digits[c & 15];
  }
  return text;
}

std::string PictureBytes(TGraphic* graphic) {
  TMemoryStream stream;
  graphic->WriteToStream(stream);
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

class Commands : public testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterJPEGFormats(); }
  static void TearDownTestSuite() { UnregisterJPEGFormats(); }

  void SetUp() override {
    saved_ = MessageBoxPresenter();
    MessageBoxPresenter() = [this](QWidget*, const QString& text, const QString& caption, unsigned flags) {
      boxes_.push_back({text, caption, flags});
      return IDOK;
    };
    application_ = std::make_unique<TApplication>("/usr/bin/quorvane");
    form_ = std::make_unique<TForm1>(nullptr);
  }
  void TearDown() override {
    form_.reset();
    application_.reset();
    MessageBoxPresenter() = saved_;
  }

  // Starts the conversion and serves its steps until the final status text.
  void ConvertToHex() {
    form_->RzToolButton2Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form_->IdThreadComponent1->Active(); }, 20000));
  }

  struct Box {
    QString text, caption;
    unsigned flags;
  };
  std::vector<Box> boxes_;
  TMessageBoxPresenter saved_;
  std::unique_ptr<TApplication> application_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(Commands, PictureToHexWithNothingOpenedWarnsAndChangesNothing) {
  form_->RzToolButton2Click();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, QString::fromUtf8("请选择图片！"));
  EXPECT_EQ(boxes_[0].caption, QString::fromUtf8("提示"));
  EXPECT_EQ(boxes_[0].flags, 0x30u);
  EXPECT_EQ(form_->Memo1->Text(), "\r\n");
  EXPECT_TRUE(form_->StatusBar1->PanelText().isEmpty());
  EXPECT_FALSE(form_->IdThreadComponent1->Active());
}

TEST_F(Commands, PictureToHexThenBackGivesTheFileBytes) {
  const std::string path = kCorpus + "/jpeg/good/ljt-testorig.jpg";
  form_->Image1->Picture().OpenPictureFile(path);
  ConvertToHex();
  EXPECT_EQ(form_->Memo1->Text(), UpperHex(FileBytes(path)));
  EXPECT_EQ(form_->StatusBar1->PanelText(), QString::fromUtf8("图片转换完成"));

  form_->RzToolButton3Click();
  TGraphic* restored = form_->Image2->Picture().HeldGraphic();
  ASSERT_NE(restored, nullptr);
  EXPECT_STREQ(restored->ClassName(), "TJPEGImage");
  EXPECT_EQ(PictureBytes(restored), FileBytes(path));
  EXPECT_TRUE(boxes_.empty());

  // A second run converts again, on a new thread object.
  form_->Memo1->SetText("x");
  ConvertToHex();
  EXPECT_EQ(form_->Memo1->Text(), UpperHex(FileBytes(path)));
}

TEST_F(Commands, HexToPictureRightAfterStartFailsWith53AndKeepsTheBoxEmpty) {
  try {
    form_->RzToolButton3Click();
    FAIL();
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.Message(), "JPEG error #53");
  }
  EXPECT_EQ(form_->Image2->Picture().HeldGraphic(), nullptr);
  // An empty text gives a JPEG picture without bytes, and no error.
  form_->Memo1->SetText("");
  form_->RzToolButton3Click();
  ASSERT_NE(form_->Image2->Picture().HeldGraphic(), nullptr);
  EXPECT_FALSE(form_->Image2->Picture().HeldGraphic()->IsEmpty());  // an empty byte block is content
  EXPECT_EQ(form_->Image2->Picture().Width(), 0);
}

TEST_F(Commands, HexToPictureReadsLowerCaseAndKeepsTheOldPictureOnFailure) {
  const std::string bytes = FileBytes(kCorpus + "/jpeg/good/ljt-testimggray.jpg");
  std::string lower = UpperHex(bytes);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  form_->Memo1->SetText(lower);
  form_->RzToolButton3Click();
  TGraphic* first = form_->Image2->Picture().HeldGraphic();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(PictureBytes(first), bytes);

  form_->Memo1->SetText("not hex at all");
  EXPECT_THROW(form_->RzToolButton3Click(), EJPEG);
  EXPECT_EQ(form_->Image2->Picture().HeldGraphic(), first);
}

TEST_F(Commands, ARunOnANonJpegPictureFailsSilently) {
  form_->Image1->Picture().OpenPictureFile(kCorpus + "/bmp/bmpsuite-g-rgb24.bmp");
  form_->Memo1->SetText("kept");
  ConvertToHex();
  EXPECT_EQ(form_->Memo1->Text(), "kept");
  EXPECT_EQ(form_->StatusBar1->PanelText(), QString::fromUtf8("正在转换请等待...."));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(Commands, AnEmptyJpegFileEmptiesTheTextBox) {
  form_->Image1->Picture().OpenPictureFile(kCorpus + "/jpeg/bad/jdec-empty.jpg");
  ConvertToHex();
  EXPECT_EQ(form_->Memo1->Text(), "");
  EXPECT_EQ(form_->StatusBar1->PanelText(), QString::fromUtf8("图片转换完成"));
}

TEST_F(Commands, ClosingDuringARunEndsCleanly) {
  // Destroying the window ends the worker first, serving its steps meanwhile;
  // the sanitizer builds check that no step meets a destroyed control.
  form_->Image1->Picture().OpenPictureFile(kCorpus + "/jpeg/good/large-pillars-4096x4096-upscaled.jpg");
  form_->RzToolButton2Click();
  form_.reset();
  EXPECT_TRUE(boxes_.empty());
}

}  // namespace
}  // namespace qv
