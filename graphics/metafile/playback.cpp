#include "graphics/metafile/playback.h"

#include <cstring>

#include "base/exceptions.h"
#include "graphics/dib_reader.h"
#include "graphics/metafile/player.h"

namespace qv {

namespace metafile {

QImage RecordDib(const TRecord& r, int64_t bmi, int64_t bmi_size, int64_t bits, int64_t bits_size) {
  if (!r.Has(bmi, bmi_size) || !r.Has(bits, bits_size) || bmi_size < 12 || bits_size <= 0) {
    return QImage();
  }
  QByteArray file(static_cast<qsizetype>(14 + bmi_size + bits_size), 0);
  auto* out = reinterpret_cast<uint8_t*>(file.data());
  out[0] = 'B';
  out[1] = 'M';
  const uint32_t offset = static_cast<uint32_t>(14 + bmi_size);
  for (int i = 0; i < 4; ++i) out[10 + i] = static_cast<uint8_t>(offset >> (8 * i));
  std::memcpy(out + 14, r.At(bmi), static_cast<size_t>(bmi_size));
  std::memcpy(out + 14 + bmi_size, r.At(bits), static_cast<size_t>(bits_size));
  try {
    return ReadBmpFile(out, file.size(), "");
  } catch (const Exception&) {
    return QImage();  // a bitmap we cannot read is skipped like an unknown record
  }
}

QImage DibFromPacked(const TRecord& r, int64_t at) {
  const int64_t header = r.U32(at);
  if (header < 12 || !r.Has(at, header)) return QImage();
  int64_t colours = 0, entry = 4, masks = 0;
  if (header == 12) {
    const int64_t bits = r.U16(at + 10);
    entry = 3;
    colours = bits <= 8 ? int64_t{1} << bits : 0;
  } else {
    const int64_t bits = r.U16(at + 14);
    const uint32_t compression = r.U32(at + 16);
    const int64_t used = r.U32(at + 32);
    colours = used != 0 ? used : bits <= 8 ? int64_t{1} << bits : 0;
    if (header == 40 && compression == 3) masks = 12;
    if (header == 40 && compression == 6) masks = 16;
  }
  const int64_t info = header + masks + colours * entry;
  if (!r.Has(at, info)) return QImage();
  return RecordDib(r, at, info, at + info, r.Size() - at - info);
}

QRectF DibSource(const QImage& image, double x, double y, double w, double h) {
  return QRectF(x, image.height() - y - h, w, h);
}

QPolygonF Points32(const TRecord& r, int64_t at, int64_t count) {
  QPolygonF points;
  points.reserve(static_cast<qsizetype>(count));
  for (int64_t i = 0; i < count; ++i) points << QPointF(r.I32(at + 8 * i), r.I32(at + 8 * i + 4));
  return points;
}
QPolygonF Points16(const TRecord& r, int64_t at, int64_t count) {
  QPolygonF points;
  points.reserve(static_cast<qsizetype>(count));
  for (int64_t i = 0; i < count; ++i) points << QPointF(r.I16(at + 4 * i), r.I16(at + 4 * i + 2));
  return points;
}

}  // namespace metafile

using metafile::EmfRecord;
using metafile::TPlayer;
using metafile::TRecord;
using metafile::WmfFunction;

void PlayEnhancedMetafile(QPainter& painter, const uint8_t* data, int64_t size,
                          const QRectF& target) {
  const TRecord header(data, size);
  if (size < 88 || target.isEmpty()) return;
  // The frame (0.01 mm) in reference-device pixels is what maps onto the target.
  const double device_w = header.I32(72), device_h = header.I32(76);
  const double mm_w = header.I32(80), mm_h = header.I32(84);
  const double ppmm_x = device_w > 0 && mm_w > 0 ? device_w / mm_w : 96 / 25.4;
  const double ppmm_y = device_h > 0 && mm_h > 0 ? device_h / mm_h : 96 / 25.4;
  QRectF frame(QPointF(header.I32(24) / 100.0 * ppmm_x, header.I32(28) / 100.0 * ppmm_y),
               QPointF(header.I32(32) / 100.0 * ppmm_x, header.I32(36) / 100.0 * ppmm_y));
  if (frame.width() <= 0 || frame.height() <= 0) {
    frame = QRectF(QPointF(header.I32(8), header.I32(12)),
                   QPointF(header.I32(16) + 1.0, header.I32(20) + 1.0));
  }
  if (frame.width() <= 0 || frame.height() <= 0) return;
  const QTransform device =
      QTransform::fromTranslate(-frame.left(), -frame.top()) *
      QTransform::fromScale(target.width() / frame.width(), target.height() / frame.height()) *
      QTransform::fromTranslate(target.left(), target.top());
  painter.save();
  painter.setClipRect(target, Qt::IntersectClip);
  painter.setRenderHint(QPainter::Antialiasing, false);
  TPlayer player(painter, false, target, device);
  player.SetReferenceDevice(ppmm_x, ppmm_y);
  player.LimitObjects(header.U16(56));  // handle slots, the metafile's own slot 0 included
  int64_t at = 0;
  while (at + 8 <= size) {
    const TRecord head(data + at, size - at);
    const uint32_t type = head.U32(0);
    const int64_t length = head.U32(4);
    if (length < 8 || length > size - at) break;
    if (type == static_cast<uint32_t>(EmfRecord::Eof)) break;
    if (type != static_cast<uint32_t>(EmfRecord::Header)) {
      metafile::PlayEmfRecord(player, type, TRecord(data + at, length));
    }
    at += length;
  }
  painter.restore();
}

void PlayWindowsMetafile(QPainter& painter, const uint8_t* data, int64_t size, const QRectF& bounds,
                         const QRectF& target) {
  const TRecord header(data, size);
  if (size < 18 || target.isEmpty()) return;
  painter.save();
  painter.setClipRect(target, Qt::IntersectClip);
  painter.setRenderHint(QPainter::Antialiasing, false);
  TPlayer player(painter, true, target, QTransform());
  player.LimitObjects(header.U16(10));
  player.State().win_org = bounds.topLeft();
  player.State().win_ext = QPointF(bounds.width(), bounds.height());
  int64_t at = int64_t{header.U16(2)} * 2;
  while (at + 6 <= size) {
    const TRecord head(data + at, size - at);
    const int64_t length = int64_t{head.U32(0)} * 2;
    const uint16_t function = head.U16(4);
    if (length < 6 || length > size - at || function == static_cast<uint16_t>(WmfFunction::Eof))
      break;
    metafile::PlayWmfRecord(player, function, TRecord(data + at, length));
    at += length;
  }
  painter.restore();
}

}  // namespace qv
