#include "graphics/png_picture.h"

#include "base/format.h"
#include "base/streams.h"
#include "graphics/canvas.h"
#include "graphics/dib_reader.h"

namespace qv {

void TPNGPicture::AssignFrom(TPersistent* source) {
  if (auto* png = dynamic_cast<TPNGPicture*>(source)) {
    if (png == this) return;
    bytes_ = png->bytes_;
    image_ = png->image_;
    NotifyChanged(this);
    return;
  }
  TGraphic::AssignFrom(source);
}

void TPNGPicture::DrawInto(TCanvas& canvas, const TRect& rect) {
  if (IsEmpty() || rect.IsEmpty()) return;
  QPainter& painter = canvas.Painter();
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter.drawImage(rect.ToQRect(), image_, image_.rect());
  painter.restore();
}

void TPNGPicture::SetHeight(int32_t) {
  throw EInvalidGraphicOperation("Cannot change the size of a PNG picture");
}

void TPNGPicture::SetWidth(int32_t) {
  throw EInvalidGraphicOperation("Cannot change the size of a PNG picture");
}

void TPNGPicture::ReadFromStream(TStream& stream) {
  const int64_t count = std::max<int64_t>(stream.Size() - stream.Position(), 0);
  // Compressed data never needs more room than its pixels plus a margin.
  if (count > PictureBudget() + (int64_t{1} << 20)) RaiseOutOfMemory();
  QByteArray bytes(static_cast<qsizetype>(count), Qt::Uninitialized);
  stream.ReadBuffer(bytes.data(), count);
  int status = 0;
  QImage image = ReadPngBytes(reinterpret_cast<const uint8_t*>(bytes.constData()), count, status);
  if (image.isNull()) throw EPNGError(Format(kPNGErrorText, status));
  bytes_ = std::move(bytes);
  image_ = std::move(image);
  NotifyChanged(this);
}

void TPNGPicture::WriteToStream(TStream& stream) {
  if (!bytes_.isEmpty()) stream.WriteBuffer(bytes_.constData(), bytes_.size());
}

void TPNGPicture::ReadFromClipboard(TClipboardFormat, const TClipboardData&, TPaletteHandle) {
  throw EInvalidGraphicOperation("PNG pictures cannot be exchanged through the clipboard");
}

void TPNGPicture::WriteToClipboard(TClipboardFormat&, TClipboardData&, TPaletteHandle&) {
  throw EInvalidGraphicOperation("PNG pictures cannot be exchanged through the clipboard");
}

}  // namespace qv
