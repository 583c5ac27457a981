#include "graphics/png_picture.h"

#include "base/format.h"
#include "graphics/canvas.h"
#include "graphics/dib_reader.h"

namespace qv {

void TPNGPicture::DrawInto(TCanvas& canvas, const TRect& rect) {
  if (IsEmpty() || rect.IsEmpty()) return;
  QPainter& painter = canvas.Painter();
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter.drawImage(rect.ToQRect(), Image(), Image().rect());
  painter.restore();
}

void TPNGPicture::ReadFromStream(TStream& stream) {
  QByteArray bytes = ReadPictureFile(stream);
  int status = 0;
  QImage image =
      ReadPngBytes(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size(), status);
  if (image.isNull()) throw EPNGError(Format(kPNGErrorText, status));
  Keep(std::move(bytes), std::move(image));
}

}  // namespace qv
