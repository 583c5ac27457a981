#include "graphics/file_bytes_graphic.h"

#include <algorithm>

#include "base/exceptions.h"
#include "base/streams.h"
#include "graphics/picture_budget.h"

namespace qv {

QByteArray ReadPictureFile(TStream& stream) {
  const int64_t count = std::max<int64_t>(stream.Size() - stream.Position(), 0);
  if (count > PictureBudget() + kPictureFileMargin) RaiseOutOfMemory();
  QByteArray bytes(static_cast<qsizetype>(count), Qt::Uninitialized);
  stream.ReadBuffer(bytes.data(), count);
  return bytes;
}

void TFileBytesGraphic::WriteToStream(TStream& stream) {
  if (!bytes_.isEmpty()) stream.WriteBuffer(bytes_.constData(), bytes_.size());
}

void TFileBytesGraphic::ReadFromClipboard(TClipboardFormat, const TClipboardData&, TPaletteHandle) {
  throw EInvalidGraphicOperation(no_clipboard_text_);
}

void TFileBytesGraphic::WriteToClipboard(TClipboardFormat&, TClipboardData&, TPaletteHandle&) {
  throw EInvalidGraphicOperation(no_clipboard_text_);
}

void TFileImageGraphic::AssignFrom(TPersistent* source) {
  auto* other = dynamic_cast<TFileImageGraphic*>(source);
  if (other != nullptr && GraphicClass().Includes(*other)) {
    if (other == this) return;
    bytes_ = other->bytes_;
    image_ = other->image_;
    NotifyChanged(this);
    return;
  }
  TGraphic::AssignFrom(source);
}

void TFileImageGraphic::SetHeight(int32_t) {
  throw EInvalidGraphicOperation(fixed_size_text_);
}

void TFileImageGraphic::SetWidth(int32_t) {
  throw EInvalidGraphicOperation(fixed_size_text_);
}

void TFileImageGraphic::Keep(QByteArray bytes, QImage image) {
  bytes_ = std::move(bytes);
  image_ = std::move(image);
  NotifyChanged(this);
}

}  // namespace qv
