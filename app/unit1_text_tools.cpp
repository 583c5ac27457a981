// The text box's tools after its edit entries: tidying pasted hex into the
// strict run, copying the bytes in another text form, loading a text file
// and saving the bytes as text. Long work runs on TextWorker; every result
// and failure is said on the status bar, and nothing is replaced silently.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <algorithm>
#include <memory>

#include "app/application.h"
#include "app/error_trap.h"
#include "app/memo/memo.h"
#include "app/message_box.h"
#include "app/open_dialog.h"
#include "app/save_dialog.h"
#include "app/status_bar.h"
#include "app/support/trapped_action.h"
#include "app/text_file_decoding.h"
#include "app/text_worker.h"
#include "app/unit1.h"
#include "base/exceptions.h"
#include "base/output_file.h"
#include "base/streams.h"
#include "conversion/picture_hex.h"
#include "conversion/text_forms/hex_text_recogniser.h"
#include "conversion/text_forms/hex_text_report.h"
#include "conversion/text_forms/strict_hex_stop.h"
#include "conversion/threads/ui_handoff.h"

namespace qv {

namespace {

// Below this a text is tidied at once; above it, on the worker.
constexpr size_t kTidyOnWorkerFrom = size_t{1} << 20;

const QString kBusyText = QString::fromUtf8("正在处理16进制文本，请稍候....");

// The copy and save submenu's entries: the forms' names with accelerators
// that do not clash within the submenu.
struct TFormEntry {
  TTextForm Form;
  const char* Accelerator;
};
constexpr TFormEntry kFormEntries[] = {
    {TTextForm::HexUpper, "U"},      {TTextForm::HexLower, "L"}, {TTextForm::HexPairs16, "1"},
    {TTextForm::HexPairs32, "3"},    {TTextForm::HexList, "X"},  {TTextForm::EscapedHex, "E"},
    {TTextForm::CArray, "C"},        {TTextForm::SqlBlob, "Q"},  {TTextForm::SqlServerBinary, "V"},
    {TTextForm::PostgresBytea, "P"}, {TTextForm::Base64, "B"},   {TTextForm::Base64Lines, "7"},
    {TTextForm::DataUri, "D"},
};

QString Utf8(const std::string& text) {
  return QString::fromStdString(text);
}

// Extensions offered when a hex text is opened: those the forms are saved
// with, and .hex.
QString TextFileFilter() {
  QStringList patterns{QStringLiteral("*.txt"), QStringLiteral("*.hex")};
  for (const TTextForm form : kAllTextForms) {
    const QString pattern =
        QStringLiteral("*.") + QString::fromLatin1(TextFormInfo(form).Extension);
    if (!patterns.contains(pattern)) patterns << pattern;
  }
  patterns << QStringLiteral("*.c");
  const QString list = patterns.join(u';');
  return QString::fromUtf8("16进制文本 (") + patterns.join(u' ') + QStringLiteral(")|") + list +
         QString::fromUtf8("|所有文件 (*)|*|");
}

// The C array's name comes from the picture, as xxd -i names it after the
// file it reads; without one, from the file the text is saved in.
std::string ArraySource(const std::string& preview_file, const std::string& fallback) {
  if (!preview_file.empty())
    return QFileInfo(QString::fromStdString(preview_file)).fileName().toStdString();
  return fallback;
}

}  // namespace

void TForm1::SetStatus(const std::string& text) {
  StatusBar1->SetPanelText(Utf8(text));
}

int TForm1::Ask(const QString& text, unsigned flags) {
  const QString caption = QString::fromUtf8("提示");
  if (TApplication* application = TApplication::Instance())
    return application->ShowAppMessageBox(text, caption, flags);
  return MessageBoxPresenter()(this, text, caption, flags);
}

void TForm1::ExtendMemoMenu(QMenu& menu) {
  const bool idle = !TextWorker->Busy();
  auto add = [this](QMenu& into, const QString& text, const char* name, bool enabled,
                    std::function<void()> action) {
    QAction* entry = AddTrappedAction(&into, text, std::move(action), ReportUnhandledError);
    entry->setObjectName(QString::fromLatin1(name));
    entry->setEnabled(enabled);
    return entry;
  };
  add(menu, QString::fromUtf8("整理为16进制(&N)"), "tidyHex", idle, [this] { TidyHexText(); });
  QMenu* copy_as = menu.addMenu(QString::fromUtf8("复制为(&F)"));
  copy_as->setObjectName(QStringLiteral("copyAs"));
  for (const TFormEntry& entry : kFormEntries) {
    const QString text =
        Utf8(TextFormName(entry.Form)) + QStringLiteral("(&") + entry.Accelerator + u')';
    const std::string name = std::string("copyAs-") + TextFormInfo(entry.Form).Key;
    const TTextForm form = entry.Form;
    add(*copy_as, text, name.c_str(), true, [this, form] { CopyHexTextAs(form); });
  }
  menu.addSeparator();
  add(menu, QString::fromUtf8("打开16进制文本(&O)…"), "openHexText", idle,
      [this] { OpenHexText(); });
  // Always enabled (it is also Ctrl+S): a save asked for while the worker is
  // busy says so on the status bar.
  menu.addAction(SaveHexTextAction);
}

// ---- tidying ----

void TForm1::TidyHexText() {
  if (TextWorker->Busy()) return StatusBar1->SetPanelText(kBusyText);
  std::string text = Memo1->Text();
  const uint64_t revision = Memo1->Revision();
  // Reads the text and makes the strict run; false when there is nothing to
  // replace (refused, or the run is the text already).
  auto tidy = [](const std::string& text, TRecognition& recognition, std::string& clean,
                 const std::function<bool()>& go_on) {
    TRecogniseOptions options;
    if (go_on) options.Progress = [go_on](int64_t, int64_t) { return go_on(); };
    recognition = RecogniseHexText(text, options);
    if (!recognition.Recognised()) return false;
    clean = StrictHexRun(recognition.Bytes);
    return clean != text;
  };
  if (text.size() < kTidyOnWorkerFrom) {
    TRecognition recognition;
    std::string clean;
    const bool changes = tidy(text, recognition, clean, {});
    return ApplyTidy(recognition, revision, [&] {
      if (changes) Memo1->ReplaceRange(0, Memo1->TextLength(), clean);
      Memo1->SetSelection(0, 0);
    });
  }
  // A long text is read, made into the run and wrapped for the box here on
  // the worker; the window only swaps it in, as one undoable edit (the box
  // keeps the text it replaces in its undo history).
  StatusBar1->SetPanelText(QString::fromUtf8("正在整理16进制文本...."));
  auto shared = std::make_shared<std::string>(std::move(text));
  auto wrap = std::make_shared<TMemo::TWrapSettings>(Memo1->WrapSettingsForThread());
  TextWorker->Start([this, shared, wrap, revision, tidy] {
    TRecognition recognition;
    std::string clean;
    const bool changes =
        tidy(*shared, recognition, clean, [this] { return !TextWorker->Cancelled(); });
    TMemoContent content;
    if (changes) {
      recognition.Bytes.shrink_to_fit();
      content = TMemoContent::Prepare(std::move(clean), wrap->advances.get(), wrap->width);
    }
    RunOnUiThread([&] {
      ApplyTidy(recognition, revision, [&] {
        if (changes) Memo1->TakeContent(content, *wrap);
        Memo1->SetSelection(0, 0);
      });
    });
    // The text it replaced (or the unused run) is freed here, off the UI thread.
    content = TMemoContent();
  });
}

void TForm1::ApplyTidy(const TRecognition& recognition, uint64_t revision,
                       const std::function<void()>& replace) {
  const std::string said = DescribeRecognition(recognition);
  if (!recognition.Recognised()) return SetStatus(said);  // refused: the text stays
  if (Memo1->Revision() != revision) {
    // Typed into while it was read: the result belongs to a text that is gone.
    return SetStatus("文本已改动，未整理；请再整理一次");
  }
  if (recognition.Lossy) {
    const QString question =
        Utf8(said) +
        QString::fromUtf8("\n\n整理结果缺少字节，还原的图片可能不完整。仍要替换文本吗？");
    if (Ask(question, MB_YESNO | MB_ICONWARNING) != IDYES) return SetStatus("未整理：" + said);
  }
  // One edit through the box's undo history: Ctrl+Z brings the text back.
  replace();
  SetStatus(said);
}

// ---- copying ----

void TForm1::CopyHexTextAs(TTextForm form) {
  std::string bytes;
  const TStrictHexStop stop = ReadStrictHex(Memo1->Text(), bytes);
  if (bytes.empty()) {
    std::string why = "没有可复制的字节";
    if (stop.Stopped) why += "：" + DescribeStrictHexStop(stop);
    return SetStatus(why);
  }
  TTextFormOptions options;
  options.FileName = ArraySource(PreviewFileName, "picture.jpg");
  const std::string text = WriteTextForm(form, bytes, options);
  auto* data = new QMimeData;
  data->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  QApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
  std::string said = "已复制为" + TextFormName(form) + "：" +
                     GroupThousands(static_cast<int64_t>(bytes.size())) + " 字节";
  if (stop.Stopped) said += "；" + DescribeStrictHexStop(stop);
  SetStatus(said);
}

// ---- loading ----

void TForm1::OpenHexText() {
  TextOpenDialog->Filter = TextFileFilter();
  if (!TextOpenDialog->Execute()) return;
  LoadHexTextFile(TextOpenDialog->FileName);
}

void TForm1::LoadHexTextFile(const std::string& path) {
  if (TextWorker->Busy()) return StatusBar1->SetPanelText(kBusyText);
  if (QFileInfo(QString::fromStdString(path)).isDir())
    return SetStatus("“" + path + "”是文件夹，请选择16进制文本文件");
  TextOpenDialog->FileName = path;
  SetStatus("正在打开16进制文本....");
  auto wrap = std::make_shared<TMemo::TWrapSettings>(Memo1->WrapSettingsForThread());
  TextWorker->Start([this, path, wrap] {
    std::string failure;
    try {
      std::string bytes;
      {
        TFileStream file(path);
        const int64_t size = file.Size();
        if (size > kMaxHexTextLength) RaiseOutOfMemory();
        bytes.resize(static_cast<size_t>(size));
        file.ReadBuffer(bytes.data(), size);
      }
      const TDecodedTextFile decoded = DecodeTextFile(bytes);
      const int64_t length = static_cast<int64_t>(bytes.size());
      TMemoContent content =
          TMemoContent::Prepare(std::move(bytes), wrap->advances.get(), wrap->width);
      RunOnUiThread([&] {
        Memo1->TakeContent(content, *wrap);
        std::string said =
            "已打开16进制文本：" + path + "（" + GroupThousands(length) + " 个字节）";
        if (decoded.Encoding == TTextFileEncoding::Utf16LE ||
            decoded.Encoding == TTextFileEncoding::Utf16BE)
          said += "，已从 UTF-16 转换";
        if (decoded.Replaced > 0)
          said += "；" + GroupThousands(decoded.Replaced) + " 处不是有效的 UTF-8，已换成 U+FFFD";
        SetStatus(said);
      });
      content = TMemoContent();  // the text it replaced is freed here
      return;
    } catch (...) {
      const std::exception_ptr error = std::current_exception();
      RunOnUiThread([&] {
        SetStatus("打开16进制文本失败：" + ErrorMessage(error));
        ReportUnhandledErrorLater(error);
      });
    }
  });
}

// ---- saving ----

void TForm1::SaveHexText() {
  if (TextWorker->Busy()) return StatusBar1->SetPanelText(kBusyText);
  TSaveDialog& dialog = *TextSaveDialog;
  dialog.Filters.clear();
  dialog.Extensions.clear();
  for (const TTextForm form : kAllTextForms) {
    const QString extension = QString::fromLatin1(TextFormInfo(form).Extension);
    dialog.Filters << Utf8(TextFormName(form)) + QStringLiteral(" (*.") + extension + u')';
    dialog.Extensions << extension;
  }
  const QString stem = PreviewFileName.empty()
                           ? QString::fromUtf8("16进制文本")
                           : QFileInfo(QString::fromStdString(PreviewFileName)).completeBaseName();
  dialog.FileName = (stem + u'.' + dialog.Extensions.value(dialog.FilterIndex)).toStdString();
  if (dialog.Folder.empty() && !PreviewFileName.empty())
    dialog.Folder = QFileInfo(QString::fromStdString(PreviewFileName)).absolutePath().toStdString();
  if (!dialog.Execute()) return;
  const TTextForm form =
      kAllTextForms[std::clamp<int>(dialog.FilterIndex, 0, std::size(kAllTextForms) - 1)];
  SaveHexTextTo(dialog.FileName, form);
}

void TForm1::SaveHexTextTo(const std::string& path, TTextForm form) {
  if (TextWorker->Busy()) return StatusBar1->SetPanelText(kBusyText);
  auto text = std::make_shared<std::string>(Memo1->Text());
  TTextFormOptions options;
  options.FileName = ArraySource(PreviewFileName,
                                 QFileInfo(QString::fromStdString(path)).fileName().toStdString());
  SetStatus("正在保存16进制文本....");
  TextWorker->Start([this, path, form, options, text] {
    try {
      std::string bytes;
      const TStrictHexStop stop = ReadStrictHex(*text, bytes);
      *text = std::string();
      if (bytes.empty()) {
        std::string why = "没有可保存的字节，未保存";
        if (stop.Stopped) why += "：" + DescribeStrictHexStop(stop);
        RunOnUiThread([&] { SetStatus(why); });
        return;
      }
      // Into a temporary file beside the target, renamed over it only when
      // complete: a failure or a cancel leaves the target as it was.
      TOutputFile output(path);
      int last_percent = 0;
      const TWriteOutcome outcome = WriteTextFormTo(
          form, bytes, options,
          [&](std::string_view piece) {
            output.Write(piece.data(), static_cast<int64_t>(piece.size()));
            return true;
          },
          [&](int64_t done, int64_t total) {
            if (TextWorker->Cancelled()) return false;
            const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
            if (percent >= last_percent + 5 && percent < 100) {
              last_percent = percent;
              RunOnUiThread(
                  [&] { SetStatus("正在保存16进制文本.... " + std::to_string(percent) + "%"); });
            }
            return true;
          });
      if (outcome != TWriteOutcome::Done) {
        RunOnUiThread([&] { SetStatus("已取消保存，文件未改动"); });
        return;
      }
      output.Commit();
      std::string said = "已保存为" + TextFormName(form) + "：" + path + "（" +
                         GroupThousands(static_cast<int64_t>(bytes.size())) + " 字节）";
      if (stop.Stopped) said += "；" + DescribeStrictHexStop(stop);
      RunOnUiThread([&] { SetStatus(said); });
    } catch (...) {
      const std::exception_ptr error = std::current_exception();
      RunOnUiThread([&] {
        SetStatus("保存16进制文本失败：" + ErrorMessage(error));
        ReportUnhandledErrorLater(error);
      });
    }
  });
}

}  // namespace qv
