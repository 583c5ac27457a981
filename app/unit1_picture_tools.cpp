// The restored picture's menu: saving the exact bytes it was restored from,
// and copying it to the clipboard as an image.
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QMenu>

#include "app/error_trap.h"
#include "app/image_box.h"
#include "app/save_dialog.h"
#include "app/status_bar.h"
#include "app/support/trapped_action.h"
#include "app/unit1.h"
#include "base/output_file.h"
#include "conversion/jpeg_data.h"
#include "conversion/jpeg_image.h"
#include "conversion/text_forms/hex_text_report.h"
#include "graphics/bitmap.h"
#include "graphics/picture.h"

namespace qv {

namespace {

// The restored JPEG picture, when the box holds one with bytes.
TJPEGImage* RestoredPicture(TPicture& picture) {
  auto* jpeg = dynamic_cast<TJPEGImage*>(picture.HeldGraphic());
  if (jpeg == nullptr || jpeg->SharedData().BytesSize() <= 0) return nullptr;
  return jpeg;
}

}  // namespace

QMenu* TForm1::CreatePictureMenu() {
  auto* menu = new QMenu(this);
  const bool held = RestoredPicture(Image2->Picture()) != nullptr;
  auto add = [&](const char* text, const char* name, void (TForm1::*action)()) {
    QAction* entry = AddTrappedAction(
        menu, QString::fromUtf8(text), [this, action] { (this->*action)(); }, ReportUnhandledError);
    entry->setObjectName(QString::fromLatin1(name));
    entry->setEnabled(held);
  };
  add("保存图片(&S)…", "savePicture", &TForm1::SavePicture);
  add("复制图片(&C)", "copyPicture", &TForm1::CopyPicture);
  return menu;
}

void TForm1::ShowPictureMenu(const QPoint& global_pos) {
  QMenu* menu = CreatePictureMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(global_pos);
}

void TForm1::SavePicture() {
  TJPEGImage* picture = RestoredPicture(Image2->Picture());
  if (picture == nullptr) return;
  TSaveDialog& dialog = *PictureSaveDialog;
  dialog.Filters = QStringList{QString::fromUtf8("图片 (*.jpg)")};
  dialog.Extensions = QStringList{QStringLiteral("jpg")};
  dialog.FilterIndex = 0;
  const QFileInfo preview(QString::fromStdString(PreviewFileName));
  dialog.FileName =
      PreviewFileName.empty()
          ? std::string("还原图片.jpg")
          : (preview.completeBaseName() + QString::fromUtf8("_还原.jpg")).toStdString();
  if (dialog.Folder.empty() && !PreviewFileName.empty())
    dialog.Folder = preview.absolutePath().toStdString();
  if (!dialog.Execute()) return;
  SavePictureTo(dialog.FileName);
}

void TForm1::SavePictureTo(const std::string& path) {
  TJPEGImage* picture = RestoredPicture(Image2->Picture());
  if (picture == nullptr) return;
  // The very bytes the text restored, not a new encoding of the pixels; the
  // file appears whole or not at all.
  const TJPEGData& data = picture->SharedData();
  try {
    TOutputFile output(path);
    output.Write(data.BytesData(), data.BytesSize());
    output.Commit();
  } catch (...) {
    SetStatus("保存图片失败");
    throw;
  }
  SetStatus("已保存图片：" + path + "（" + GroupThousands(data.BytesSize()) + " 字节）");
}

void TForm1::CopyPicture() {
  TJPEGImage* picture = RestoredPicture(Image2->Picture());
  if (picture == nullptr) return;
  const QImage image = picture->DecodedBitmap().Image();
  if (image.isNull()) return SetStatus("图片无法复制：没有像素");
  QApplication::clipboard()->setImage(image, QClipboard::Clipboard);
  SetStatus("已复制图片（" + GroupThousands(image.width()) + " × " +
            GroupThousands(image.height()) + "）");
}

}  // namespace qv
