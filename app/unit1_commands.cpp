// The window's four commands and the worker's run of picture to hex; the
// window itself is built and placed in unit1.cpp.
#include "app/unit1.h"

#include "app/application.h"
#include "app/image_box.h"
#include "app/memo/memo.h"
#include "app/memo/memo_text.h"
#include "app/message_box.h"
#include "app/open_dialog.h"
#include "app/status_bar.h"
#include "app/support/perf_trace.h"
#include "base/exceptions.h"
#include "conversion/jpeg_image.h"
#include "conversion/picture_hex.h"
#include "conversion/text_forms/hex_text_report.h"
#include "conversion/text_forms/strict_hex_stop.h"
#include "conversion/threads/id_thread_component.h"
#include "conversion/threads/ui_handoff.h"

namespace qv {

void TForm1::RzToolButton1Click() {
  OpenDialog1->Filter = QString::fromUtf8("图片 (*.jpg)|*.jpg|");
  if (!OpenDialog1->Execute()) return;
  Image1->Picture().OpenPictureFile(OpenDialog1->FileName);
  PreviewFileName = OpenDialog1->FileName;
}

void TForm1::RzToolButton2Click() {
  PerfMark(QStringLiteral("click to-hex"));
  if (Image1->Picture().HeldGraphic() != nullptr) {
    IdThreadComponent1->StartWorker();
    return;
  }
  const QString text = QString::fromUtf8("请选择图片！");
  const QString caption = QString::fromUtf8("提示");
  if (TApplication* application = TApplication::Instance()) {
    application->ShowAppMessageBox(text, caption, MB_OK | MB_ICONWARNING);
  } else {
    MessageBoxPresenter()(this, text, caption, MB_OK | MB_ICONWARNING);
  }
}

void TForm1::RzToolButton3Click() {
  PerfMark(QStringLiteral("click to-picture"));
  const auto restored = std::make_unique<TJPEGImage>();
  // A text not edited since it was set is one run of bytes, read in place: a
  // copy would double the memory of a large picture's text for nothing.
  const TMemoText& model = Memo1->Model();
  std::string copy;
  std::string_view text = model.Run(0);
  if (static_cast<int64_t>(text.size()) != model.Length()) {
    copy = Memo1->Text();
    text = copy;
  }
  THexTextStop stop;
  try {
    HexToJPEG(text, *restored, stop);
  } catch (...) {
    // The error box stays as it is; the status bar says where the hex ended.
    ReportHexStop(text, stop.Stopped);
    throw;
  }
  Image2->Picture().AssignFrom(restored.get());
  PerfMark(QStringLiteral("to-picture assigned"));
  ReportHexStop(text, stop.Stopped);
}

// After hex to picture: where the text stopped being hex, when it did before
// its end. A text read to its end leaves the status bar alone, except for a
// stop report of an earlier run, which no longer holds.
void TForm1::ReportHexStop(std::string_view text, bool stopped) {
  if (!stopped && text.size() % 2 == 0) {
    if (!last_stop_report_.isEmpty() && StatusBar1->PanelText() == last_stop_report_)
      StatusBar1->SetPanelText(QString());
    last_stop_report_.clear();
    return;
  }
  // Found again in full only now that there is a stop to describe.
  const TStrictHexStop where = FindStrictHexStop(text);
  if (!where.Stopped) return;
  std::string report = DescribeStrictHexStop(where);
  if (where.Offset == 0 && where.Cause == THexStopCause::LineBreak) {
    report += "。右键菜单“整理为16进制”可去掉换行";
  } else if (where.Cause != THexStopCause::LoneLastDigit) {
    report += "。右键菜单“整理为16进制”可整理";
  }
  last_stop_report_ = QString::fromStdString(report);
  StatusBar1->SetPanelText(last_stop_report_);
}

void TForm1::RzToolButton4Click() {
  close();
}

// Runs on the worker thread; everything that touches the window is handed to
// the UI thread. Any failure, whatever its type, skips to the final status
// text, which names it; the worker is stopped either way, so a later run works.
void TForm1::IdThreadComponent1Run(TIdThreadComponent& sender) {
  PerfMark(QStringLiteral("to-hex worker started"));
  std::exception_ptr failure;
  try {
    auto picture = std::make_unique<TJPEGImage>();
    RunOnUiThread([this] { StatusBar1->SetPanelText(QString::fromUtf8("正在转换请等待....")); });
    TMemo::TWrapSettings wrap;
    RunOnUiThread([this, &picture, &wrap] {
      picture->AssignFrom(&Image1->Picture());
      wrap = Memo1->WrapSettingsForThread();
      PerfMark(QStringLiteral("to-hex picture taken"));
    });
    if (OnRunStep) OnRunStep("taken");
    std::string text;
    JPEGToHex(*picture, text);
    PerfMark(QStringLiteral("to-hex encoded"));
    if (OnRunStep) OnRunStep("encoded");
    // The text box's index of a text of millions of characters is built here,
    // not on the UI thread, which then only swaps the text in.
    TMemoContent content = TMemoContent::Prepare(std::move(text), wrap.advances.get(), wrap.width);
    PerfMark(QStringLiteral("to-hex text wrapped"));
    if (OnRunStep) OnRunStep("wrapped");
    RunOnUiThread([this, &content, &wrap] {
      PerfMark(QStringLiteral("to-hex text handed over"));
      Memo1->TakeContent(content, wrap);
      PerfMark(QStringLiteral("to-hex text set"));
    });
    // The text it replaced is freed here too.
    content = TMemoContent();
  } catch (...) {
    // A failed run still ends with a status text: the user must be able to tell
    // failure from slow work.
    failure = std::current_exception();
  }
  // Made before the hand-over: even the message of a failure can fail to be
  // made. Text here, a QString on the UI thread: no string data is shared
  // between the threads.
  std::string status = "图片转换完成";
  try {
    if (failure) status = "图片转换失败：" + ErrorMessage(failure);
  } catch (...) {
    status = std::string("图片转换失败：") + kOutOfMemoryText;
  }
  try {
    RunOnUiThread([this, &status] { StatusBar1->SetPanelText(QString::fromStdString(status)); });
  } catch (...) {
    // Nothing is left to say it with; the worker must still stop.
  }
  sender.StopWorker();
}

}  // namespace qv
