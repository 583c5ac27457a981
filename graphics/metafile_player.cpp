#include "graphics/metafile_player.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <optional>
#include <vector>

#include <QFontMetricsF>
#include <QPainterPath>
#include <QPolygonF>

#include "base/exceptions.h"
#include "graphics/dib_reader.h"

namespace qv {

namespace {

// Bounds-checked little-endian access to one record: a read outside the
// record gives 0, so a lying count can never reach past the data.
class TRecord {
 public:
  TRecord(const uint8_t* data, int64_t size) : data_(data), size_(size) {}
  int64_t Size() const { return size_; }
  bool Has(int64_t offset, int64_t count) const {
    return offset >= 0 && count >= 0 && offset <= size_ && count <= size_ - offset;
  }
  const uint8_t* At(int64_t offset) const { return data_ + offset; }
  uint8_t U8(int64_t o) const { return Has(o, 1) ? data_[o] : 0; }
  uint16_t U16(int64_t o) const {
    return Has(o, 2) ? static_cast<uint16_t>(data_[o] | (data_[o + 1] << 8)) : 0;
  }
  int16_t I16(int64_t o) const { return static_cast<int16_t>(U16(o)); }
  uint32_t U32(int64_t o) const {
    return Has(o, 4) ? (data_[o] | (data_[o + 1] << 8) | (data_[o + 2] << 16) |
                        (static_cast<uint32_t>(data_[o + 3]) << 24))
                     : 0;
  }
  int32_t I32(int64_t o) const { return static_cast<int32_t>(U32(o)); }
  float F32(int64_t o) const {
    const uint32_t bits = U32(o);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return std::isfinite(value) ? value : 0.0f;
  }

 private:
  const uint8_t* data_;
  int64_t size_;
};

QColor ColorRef(uint32_t value) {
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

struct TPenSpec {
  uint32_t style = 0;  // low 4 bits: solid, dash, dot, dash-dot, dash-dot-dot, null, inside frame
  double width = 0;    // logical units; 0 is one device pixel
  QColor color = Qt::black;
};

struct TBrushSpec {
  uint32_t style = 0;  // 0 solid, 1 hollow, 2 hatched, others drawn as a 50% pattern
  QColor color = Qt::white;
  uint32_t hatch = 0;
};

struct TFontSpec {
  double height = 0;  // logical units; negative: character height, positive: cell height
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strike_out = false;
  QString face;
};

// A graphics object slot: a pen, a brush, a font, or another kind we do not
// draw with (palettes, regions, pattern brushes) but which takes a slot.
struct TGdiObject {
  enum Kind { kPen, kBrush, kFont, kOther } kind = kOther;
  TPenSpec pen;
  TBrushSpec brush;
  TFontSpec font;
};

struct TDcState {
  TPenSpec pen;
  TBrushSpec brush;
  TFontSpec font;
  QColor text_color = Qt::black;
  QColor bk_color = Qt::white;
  bool bk_opaque = true;
  Qt::FillRule fill_rule = Qt::OddEvenFill;
  uint32_t text_align = 0;
  uint32_t map_mode = 1;
  QPointF win_org, win_ext{1, 1}, vp_org, vp_ext{1, 1};
  QTransform world;
  QPointF position;
};

constexpr uint32_t kTextAlignUpdateCp = 1;
constexpr uint32_t kTextAlignHorizontal = 6;  // 0 left, 2 right, 6 centre
constexpr uint32_t kTextAlignVertical = 24;   // 0 top, 8 bottom, 24 baseline

// Graphics state, object table and drawing shared by both metafile kinds.
class TPlayer {
 public:
  TPlayer(QPainter& painter, bool windows, const QRectF& target, const QTransform& device)
      : painter_(painter), windows_(windows), target_(target), device_(device) {
    state_.brush.color = Qt::white;
  }

  TDcState& State() { return state_; }

  // The object table holds as many slots as the header declares (at most
  // 65536); objects made beyond them are dropped.
  void LimitObjects(int64_t count) {
    object_limit_ = static_cast<size_t>(std::clamp<int64_t>(count, 0, 0x10000));
  }

  // Slots: explicit indices (enhanced) or the lowest free slot (Windows).
  void SetObject(uint32_t index, const TGdiObject& object) {
    if (index == 0 || index >= object_limit_) return;  // 0 is the metafile itself
    if (objects_.size() <= index) objects_.resize(index + 1);
    objects_[index] = object;
  }
  void AddObject(const TGdiObject& object) {
    // Slots below first_free_ are taken: a file of many creations stays linear.
    for (size_t i = first_free_; i < objects_.size(); ++i) {
      if (!objects_[i]) {
        objects_[i] = object;
        first_free_ = i + 1;
        return;
      }
    }
    if (objects_.size() < object_limit_) {
      objects_.push_back(object);
      first_free_ = objects_.size();
    }
  }
  void DeleteObject(uint32_t index) {
    if (index >= objects_.size()) return;
    objects_[index].reset();
    first_free_ = std::min<size_t>(first_free_, index);
  }
  void SelectObject(uint32_t index) {
    if (index & 0x80000000u) {
      SelectStock(index & 0x7FFFFFFFu);
      return;
    }
    if (index >= objects_.size() || !objects_[index]) return;
    const TGdiObject& object = *objects_[index];
    switch (object.kind) {
      case TGdiObject::kPen:
        state_.pen = object.pen;
        break;
      case TGdiObject::kBrush:
        state_.brush = object.brush;
        break;
      case TGdiObject::kFont:
        state_.font = object.font;
        break;
      case TGdiObject::kOther:
        break;
    }
  }
  void SelectStock(uint32_t which) {
    static const QColor kBrushColors[] = {Qt::white, QColor(192, 192, 192), QColor(128, 128, 128),
                                          QColor(64, 64, 64), Qt::black};
    if (which <= 4) state_.brush = TBrushSpec{0, kBrushColors[which], 0};
    if (which == 5) state_.brush = TBrushSpec{1, Qt::white, 0};
    if (which == 6) state_.pen = TPenSpec{0, 0, Qt::white};
    if (which == 7) state_.pen = TPenSpec{0, 0, Qt::black};
    if (which == 8) state_.pen = TPenSpec{5, 0, Qt::black};
    if (which >= 10 && which <= 17) state_.font = TFontSpec{};
  }

  void SaveDC() {
    if (saved_.size() < 4096) saved_.push_back(state_);
  }
  void RestoreDC(int32_t relative) {
    // Negative: that many levels back; positive: that level counted from the first save.
    int64_t level = relative < 0 ? static_cast<int64_t>(saved_.size()) + relative : relative - 1;
    if (level < 0 || level >= static_cast<int64_t>(saved_.size())) return;
    state_ = saved_[static_cast<size_t>(level)];
    saved_.resize(static_cast<size_t>(level));
  }

  // Logical coordinates to target pixels.
  QTransform Transform() const {
    if (windows_) {
      const double sx = state_.win_ext.x() != 0 ? target_.width() / state_.win_ext.x() : 1;
      const double sy = state_.win_ext.y() != 0 ? target_.height() / state_.win_ext.y() : 1;
      return QTransform::fromTranslate(-state_.win_org.x(), -state_.win_org.y()) *
             QTransform::fromScale(sx, sy) *
             QTransform::fromTranslate(target_.left(), target_.top());
    }
    double sx = 1, sy = 1;
    switch (state_.map_mode) {
      case 2:
        sx = 0.1, sy = -0.1;
        break;  // 0.1 mm
      case 3:
        sx = 0.01, sy = -0.01;
        break;  // 0.01 mm
      case 4:
        sx = 0.254, sy = -0.254;
        break;  // 0.01 inch
      case 5:
        sx = 0.0254, sy = -0.0254;
        break;  // 0.001 inch
      case 6:
        sx = 25.4 / 1440, sy = -25.4 / 1440;
        break;  // twips
      case 7:
      case 8:
        sx = state_.win_ext.x() != 0 ? state_.vp_ext.x() / state_.win_ext.x() : 1;
        sy = state_.win_ext.y() != 0 ? state_.vp_ext.y() / state_.win_ext.y() : 1;
        break;
      default:
        break;
    }
    if (state_.map_mode >= 2 && state_.map_mode <= 6) {
      sx *= pixels_per_mm_x_;
      sy *= pixels_per_mm_y_;
    }
    return state_.world * QTransform::fromTranslate(-state_.win_org.x(), -state_.win_org.y()) *
           QTransform::fromScale(sx, sy) *
           QTransform::fromTranslate(state_.vp_org.x(), state_.vp_org.y()) * device_;
  }
  void SetReferenceDevice(double pixels_per_mm_x, double pixels_per_mm_y) {
    pixels_per_mm_x_ = pixels_per_mm_x;
    pixels_per_mm_y_ = pixels_per_mm_y;
  }

  // Shapes. Inside a path bracket they add to the path instead of drawing.
  void Polyline(const QPolygonF& points) {
    if (points.size() < 2) return;
    if (in_path_) {
      PathMoveOrLine(points.first());
      for (qsizetype i = 1; i < points.size(); ++i) path_.lineTo(points[i]);
      return;
    }
    Prepare(false);
    painter_.drawPolyline(points);
  }
  void PolylineTo(const QPolygonF& points) {
    if (points.isEmpty()) return;
    QPolygonF all;
    all << state_.position << points;
    state_.position = points.last();
    if (in_path_) {
      PathMoveOrLine(all.first());
      for (qsizetype i = 1; i < all.size(); ++i) path_.lineTo(all[i]);
      return;
    }
    Prepare(false);
    painter_.drawPolyline(all);
  }
  void Polygons(const std::vector<QPolygonF>& polygons) {
    QPainterPath path;
    path.setFillRule(state_.fill_rule);
    for (const QPolygonF& polygon : polygons) {
      if (polygon.size() < 2) continue;
      path.addPolygon(polygon);
      path.closeSubpath();
    }
    DrawClosed(path);
  }
  void Bezier(const QPolygonF& points, bool from_position) {
    QPolygonF all;
    if (from_position) all << state_.position;
    all << points;
    if (all.size() < 4) return;
    QPainterPath curve;
    curve.moveTo(all[0]);
    for (qsizetype i = 1; i + 2 < all.size(); i += 3) curve.cubicTo(all[i], all[i + 1], all[i + 2]);
    if (from_position) state_.position = curve.currentPosition();
    if (in_path_) {
      PathMoveOrLine(all[0]);
      for (qsizetype i = 1; i + 2 < all.size(); i += 3)
        path_.cubicTo(all[i], all[i + 1], all[i + 2]);
      return;
    }
    Prepare(false);
    painter_.drawPath(curve);
  }
  void Rectangle(const QRectF& box) {
    QPainterPath path;
    path.addRect(box.normalized());
    DrawClosed(path);
  }
  void RoundRect(const QRectF& box, const QSizeF& corner) {
    QPainterPath path;
    path.addRoundedRect(box.normalized(), std::abs(corner.width()) / 2,
                        std::abs(corner.height()) / 2);
    DrawClosed(path);
  }
  void Ellipse(const QRectF& box) {
    QPainterPath path;
    path.addEllipse(box.normalized());
    DrawClosed(path);
  }
  // kind: 0 arc, 1 chord, 2 pie; drawn counter-clockwise from start to end.
  void ArcShape(int kind, const QRectF& box_in, const QPointF& start, const QPointF& end) {
    const QRectF box = box_in.normalized();
    if (box.isEmpty()) return;
    const QPointF c = box.center();
    const double rx = box.width() / 2, ry = box.height() / 2;
    const auto angle = [&](const QPointF& p) {
      return std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx) * 180 / std::numbers::pi;
    };
    const double a0 = angle(start);
    double span = angle(end) - a0;
    while (span <= 0) span += 360;
    QPainterPath path;
    if (kind == 2) path.moveTo(c);
    path.arcMoveTo(box, a0);
    if (kind == 2) path.lineTo(path.currentPosition());
    path.arcTo(box, a0, span);
    if (kind == 0) {
      Prepare(false);
      painter_.drawPath(path);
      return;
    }
    path.closeSubpath();
    DrawClosed(path);
  }
  void MoveTo(const QPointF& p) {
    state_.position = p;
    if (in_path_) path_.moveTo(p);
  }
  void LineTo(const QPointF& p) {
    if (in_path_) {
      PathMoveOrLine(state_.position);
      path_.lineTo(p);
    } else {
      Prepare(false);
      painter_.drawLine(state_.position, p);
    }
    state_.position = p;
  }
  void Pixel(const QPointF& p, const QColor& color) {
    painter_.setTransform(Transform());
    painter_.fillRect(QRectF(p, QSizeF(1, 1)), color);
  }

  void BeginPath() {
    in_path_ = true;
    path_ = QPainterPath();
  }
  void EndPath() { in_path_ = false; }
  void CloseFigure() {
    if (in_path_) path_.closeSubpath();
  }
  void FinishPath(bool fill, bool stroke) {
    in_path_ = false;
    path_.setFillRule(state_.fill_rule);
    painter_.setTransform(Transform());
    painter_.setPen(stroke ? Pen() : QPen(Qt::NoPen));
    painter_.setBrush(fill ? Brush() : QBrush(Qt::NoBrush));
    painter_.drawPath(path_);
    path_ = QPainterPath();
  }

  // Text at `p` (logical), drawn upright in target pixels.
  void Text(QPointF p, const QString& text) {
    if (text.isEmpty()) return;
    const bool update_cp = state_.text_align & kTextAlignUpdateCp;
    if (update_cp) p = state_.position;
    const QTransform transform = Transform();
    const double scale_y = std::hypot(transform.m12(), transform.m22());
    double height = std::abs(state_.font.height) * scale_y;
    if (state_.font.height == 0) height = 12;
    if (!(height >= 1)) height = 1;
    if (height > 4096) height = 4096;
    QFont font(state_.font.face.isEmpty() ? QStringLiteral("Sans Serif") : state_.font.face);
    // A positive height is the cell height; the characters are about 80% of it.
    font.setPixelSize(
        std::max(1, static_cast<int>(std::lround(state_.font.height > 0 ? height * 0.8 : height))));
    font.setWeight(static_cast<QFont::Weight>(std::clamp(state_.font.weight, 100, 900)));
    font.setItalic(state_.font.italic);
    font.setUnderline(state_.font.underline);
    font.setStrikeOut(state_.font.strike_out);
    const QFontMetricsF metrics(font);
    const double width = metrics.horizontalAdvance(text);
    QPointF at = transform.map(p);
    switch (state_.text_align & kTextAlignHorizontal) {
      case 2:
        at.rx() -= width;
        break;
      case 6:
        at.rx() -= width / 2;
        break;
      default:
        break;
    }
    switch (state_.text_align & kTextAlignVertical) {
      case 0:
        at.ry() += metrics.ascent();
        break;
      case 8:
        at.ry() -= metrics.descent();
        break;
      default:
        break;
    }
    painter_.resetTransform();
    if (state_.bk_opaque) {
      painter_.fillRect(QRectF(at.x(), at.y() - metrics.ascent(), width, metrics.height()),
                        state_.bk_color);
    }
    painter_.setFont(font);
    painter_.setPen(state_.text_color);
    painter_.drawText(at, text);
    if (update_cp) {
      bool invertible = false;
      const QTransform back = transform.inverted(&invertible);
      if (invertible) state_.position = back.map(QPointF(at.x() + width, transform.map(p).y()));
    }
  }

  void Image(const QImage& image, const QRectF& dest, const QRectF& source) {
    if (image.isNull()) return;
    painter_.setTransform(Transform());
    painter_.drawImage(dest.normalized(), image, source);
  }

 private:
  QPen Pen() const {
    const uint32_t style = state_.pen.style & 0xF;
    if (style == 5) return QPen(Qt::NoPen);
    QPen pen(state_.pen.color);
    pen.setWidthF(state_.pen.width > 0 ? state_.pen.width : 0);
    switch (style) {
      case 1:
        pen.setStyle(Qt::DashLine);
        break;
      case 2:
        pen.setStyle(Qt::DotLine);
        break;
      case 3:
        pen.setStyle(Qt::DashDotLine);
        break;
      case 4:
        pen.setStyle(Qt::DashDotDotLine);
        break;
      default:
        break;
    }
    const uint32_t cap = state_.pen.style & 0xF00;
    pen.setCapStyle(cap == 0x100 ? Qt::SquareCap : cap == 0x200 ? Qt::FlatCap : Qt::RoundCap);
    const uint32_t join = state_.pen.style & 0xF000;
    pen.setJoinStyle(join == 0x1000   ? Qt::BevelJoin
                     : join == 0x2000 ? Qt::MiterJoin
                                      : Qt::RoundJoin);
    return pen;
  }
  QBrush Brush() const {
    switch (state_.brush.style) {
      case 0:
        return QBrush(state_.brush.color);
      case 1:
        return QBrush(Qt::NoBrush);
      case 2: {
        static const Qt::BrushStyle kHatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                  Qt::FDiagPattern, Qt::BDiagPattern,
                                                  Qt::CrossPattern, Qt::DiagCrossPattern};
        return QBrush(state_.brush.color,
                      kHatches[state_.brush.hatch < 6 ? state_.brush.hatch : 0]);
      }
      default:
        return QBrush(Qt::gray, Qt::Dense4Pattern);  // pattern brushes
    }
  }
  void Prepare(bool fill) {
    painter_.setTransform(Transform());
    painter_.setPen(Pen());
    painter_.setBrush(fill ? Brush() : QBrush(Qt::NoBrush));
    painter_.setBackgroundMode(state_.bk_opaque ? Qt::OpaqueMode : Qt::TransparentMode);
    painter_.setBackground(state_.bk_color);
  }
  void DrawClosed(const QPainterPath& shape) {
    if (in_path_) {
      path_.addPath(shape);
      return;
    }
    Prepare(true);
    painter_.drawPath(shape);
  }
  void PathMoveOrLine(const QPointF& p) {
    if (path_.elementCount() == 0 || path_.currentPosition() != p) path_.moveTo(p);
  }

  QPainter& painter_;
  bool windows_;
  QRectF target_;
  QTransform device_;
  double pixels_per_mm_x_ = 96 / 25.4;
  double pixels_per_mm_y_ = 96 / 25.4;
  TDcState state_;
  std::vector<TDcState> saved_;
  std::vector<std::optional<TGdiObject>> objects_;
  size_t object_limit_ = 0x10000;
  size_t first_free_ = 0;
  bool in_path_ = false;
  QPainterPath path_;
};

// A DIB inside a record (info header at `bmi`, pixels at `bits`), or a null
// image when it does not fit or cannot be read.
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

// A packed DIB at `at`: info header, masks and colours, then the pixels to the record's end.
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

// The part of a DIB that a source rectangle names; DIB rows count from the bottom.
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

// EMF: bounds 8..24, count at 24, points from 28.
std::optional<QPolygonF> EmfPoly(const TRecord& r, bool small) {
  const int64_t count = r.U32(24);
  const int64_t point = small ? 4 : 8;
  if (!r.Has(28, count * point)) return std::nullopt;
  return small ? Points16(r, 28, count) : Points32(r, 28, count);
}

// EMF: bounds, polygon count at 24, point total at 28, counts from 32, then points.
std::optional<std::vector<QPolygonF>> EmfPolyPoly(const TRecord& r, bool small) {
  const int64_t polys = r.U32(24);
  const int64_t total = r.U32(28);
  const int64_t point = small ? 4 : 8;
  if (!r.Has(32, polys * 4) || !r.Has(32 + polys * 4, total * point)) return std::nullopt;
  std::vector<QPolygonF> result;
  int64_t at = 32 + polys * 4;
  int64_t used = 0;
  for (int64_t i = 0; i < polys; ++i) {
    const int64_t n = r.U32(32 + 4 * i);
    if (n > total - used) return std::nullopt;
    result.push_back(small ? Points16(r, at, n) : Points32(r, at, n));
    at += n * point;
    used += n;
  }
  return result;
}

QRectF EmfRect(const TRecord& r, int64_t at) {
  return QRectF(QPointF(r.I32(at), r.I32(at + 4)), QPointF(r.I32(at + 8), r.I32(at + 12)));
}

QString Utf16Text(const TRecord& r, int64_t at, int64_t chars) {
  if (chars <= 0 || chars > (1 << 20) || !r.Has(at, chars * 2)) return QString();
  QString text;
  text.reserve(static_cast<qsizetype>(chars));
  for (int64_t i = 0; i < chars; ++i) text.append(QChar(r.U16(at + 2 * i)));
  return text;
}

void PlayEmfRecord(TPlayer& player, uint32_t type, const TRecord& r) {
  TDcState& s = player.State();
  switch (type) {
    case 2:
    case 85:  // poly bezier
      if (auto p = EmfPoly(r, type == 85)) player.Bezier(*p, false);
      break;
    case 3:
    case 86:  // polygon
      if (auto p = EmfPoly(r, type == 86)) player.Polygons({*p});
      break;
    case 4:
    case 87:  // polyline
      if (auto p = EmfPoly(r, type == 87)) player.Polyline(*p);
      break;
    case 5:
    case 88:  // poly bezier to
      if (auto p = EmfPoly(r, type == 88)) player.Bezier(*p, true);
      break;
    case 6:
    case 89:  // polyline to
      if (auto p = EmfPoly(r, type == 89)) player.PolylineTo(*p);
      break;
    case 7:
    case 90:  // poly polyline
      if (auto p = EmfPolyPoly(r, type == 90))
        for (const QPolygonF& line : *p) player.Polyline(line);
      break;
    case 8:
    case 91:  // poly polygon
      if (auto p = EmfPolyPoly(r, type == 91)) player.Polygons(*p);
      break;
    case 9:
      s.win_ext = QPointF(r.I32(8), r.I32(12));
      break;
    case 10:
      s.win_org = QPointF(r.I32(8), r.I32(12));
      break;
    case 11:
      s.vp_ext = QPointF(r.I32(8), r.I32(12));
      break;
    case 12:
      s.vp_org = QPointF(r.I32(8), r.I32(12));
      break;
    case 15:
      player.Pixel(QPointF(r.I32(8), r.I32(12)), ColorRef(r.U32(16)));
      break;
    case 17:
      s.map_mode = r.U32(8);
      break;
    case 18:
      s.bk_opaque = r.U32(8) == 2;
      break;
    case 19:
      s.fill_rule = r.U32(8) == 2 ? Qt::WindingFill : Qt::OddEvenFill;
      break;
    case 22:
      s.text_align = r.U32(8);
      break;
    case 24:
      s.text_color = ColorRef(r.U32(8));
      break;
    case 25:
      s.bk_color = ColorRef(r.U32(8));
      break;
    case 27:
      player.MoveTo(QPointF(r.I32(8), r.I32(12)));
      break;
    case 33:
      player.SaveDC();
      break;
    case 34:
      player.RestoreDC(r.I32(8));
      break;
    case 35:
      if (r.Has(8, 24))
        s.world = QTransform(r.F32(8), r.F32(12), r.F32(16), r.F32(20), r.F32(24), r.F32(28));
      break;
    case 36: {
      if (!r.Has(8, 28)) break;
      const QTransform x(r.F32(8), r.F32(12), r.F32(16), r.F32(20), r.F32(24), r.F32(28));
      switch (r.U32(32)) {
        case 1:
          s.world = QTransform();
          break;
        case 2:
          s.world = x * s.world;
          break;
        case 3:
          s.world = s.world * x;
          break;
        case 4:
          s.world = x;
          break;
        default:
          break;
      }
      break;
    }
    case 37:
      player.SelectObject(r.U32(8));
      break;
    case 38: {  // create pen
      if (!r.Has(8, 20)) break;
      TGdiObject pen{TGdiObject::kPen,
                     {r.U32(12), static_cast<double>(r.I32(16)), ColorRef(r.U32(24))},
                     {},
                     {}};
      player.SetObject(r.U32(8), pen);
      break;
    }
    case 95: {  // extended pen: cosmetic pens are one pixel wide
      if (!r.Has(8, 36)) break;
      const uint32_t style = r.U32(28);
      const double width = (style & 0x10000) ? static_cast<double>(r.U32(32)) : 0.0;
      TGdiObject pen{TGdiObject::kPen, {style, width, ColorRef(r.U32(40))}, {}, {}};
      player.SetObject(r.U32(8), pen);
      break;
    }
    case 39: {  // create brush
      if (!r.Has(8, 16)) break;
      TGdiObject brush{TGdiObject::kBrush, {}, {r.U32(12), ColorRef(r.U32(16)), r.U32(20)}, {}};
      player.SetObject(r.U32(8), brush);
      break;
    }
    case 93:
    case 94:  // pattern brushes: a slot, drawn as a plain pattern
      player.SetObject(r.U32(8), TGdiObject{TGdiObject::kBrush, {}, {3, Qt::gray, 0}, {}});
      break;
    case 49:  // palette
      player.SetObject(r.U32(8), TGdiObject{});
      break;
    case 82: {  // font
      if (!r.Has(12, 92)) break;
      TGdiObject font{TGdiObject::kFont, {}, {}, {}};
      font.font.height = r.I32(12);
      font.font.weight = r.I32(28) == 0 ? 400 : r.I32(28);
      font.font.italic = r.U8(32) != 0;
      font.font.underline = r.U8(33) != 0;
      font.font.strike_out = r.U8(34) != 0;
      QString face = Utf16Text(r, 40, 32);
      face.truncate(face.indexOf(QChar(0)) >= 0 ? face.indexOf(QChar(0)) : face.size());
      font.font.face = face;
      player.SetObject(r.U32(8), font);
      break;
    }
    case 40:
      player.DeleteObject(r.U32(8));
      break;
    case 42:
      player.Ellipse(EmfRect(r, 8));
      break;
    case 43:
      player.Rectangle(EmfRect(r, 8));
      break;
    case 44:
      player.RoundRect(EmfRect(r, 8), QSizeF(r.I32(24), r.I32(28)));
      break;
    case 45:
    case 46:
    case 47:
      player.ArcShape(type == 45   ? 0
                      : type == 46 ? 1
                                   : 2,
                      EmfRect(r, 8), QPointF(r.I32(24), r.I32(28)), QPointF(r.I32(32), r.I32(36)));
      break;
    case 54:
      player.LineTo(QPointF(r.I32(8), r.I32(12)));
      break;
    case 59:
      player.BeginPath();
      break;
    case 60:
      player.EndPath();
      break;
    case 61:
      player.CloseFigure();
      break;
    case 62:
      player.FinishPath(true, false);
      break;
    case 63:
      player.FinishPath(true, true);
      break;
    case 64:
      player.FinishPath(false, true);
      break;
    case 68:
      player.EndPath();
      break;  // abort path
    case 83:
    case 84: {  // text, 8-bit or UTF-16
      const int64_t chars = r.U32(44);
      const int64_t at = r.U32(48);
      QString text;
      if (type == 84) {
        text = Utf16Text(r, at, chars);
      } else if (chars > 0 && r.Has(at, chars)) {
        text = QString::fromLatin1(reinterpret_cast<const char*>(r.At(at)),
                                   static_cast<qsizetype>(chars));
      }
      player.Text(QPointF(r.I32(36), r.I32(40)), text);
      break;
    }
    case 81: {  // stretch a DIB
      if (r.Size() < 80) break;
      const QImage image = RecordDib(r, r.U32(48), r.U32(52), r.U32(56), r.U32(60));
      player.Image(image, QRectF(r.I32(24), r.I32(28), r.I32(72), r.I32(76)),
                   DibSource(image, r.I32(32), r.I32(36), r.I32(40), r.I32(44)));
      break;
    }
    default:
      break;  // clipping, palettes, comments (EMF+ included) and the rest
  }
}

void PlayWmfRecord(TPlayer& player, uint16_t function, const TRecord& r) {
  // Parameters start at byte 6; most lists run backwards (y before x).
  TDcState& s = player.State();
  const auto p = [&](int i) { return r.I16(6 + 2 * i); };
  const auto point = [&](int y_index) { return QPointF(p(y_index + 1), p(y_index)); };
  const auto box = [&](int bottom_index) {
    return QRectF(QPointF(p(bottom_index + 3), p(bottom_index + 2)),
                  QPointF(p(bottom_index + 1), p(bottom_index)));
  };
  const auto colour = [&](int i) { return ColorRef(r.U32(6 + 2 * i)); };
  switch (function) {
    case 0x020B:
      s.win_org = point(0);
      break;
    case 0x020C:
      s.win_ext = point(0);
      break;
    case 0x0102:
      s.bk_opaque = r.U16(6) == 2;
      break;
    case 0x0201:
      s.bk_color = colour(0);
      break;
    case 0x0209:
      s.text_color = colour(0);
      break;
    case 0x0106:
      s.fill_rule = r.U16(6) == 2 ? Qt::WindingFill : Qt::OddEvenFill;
      break;
    case 0x012E:
      s.text_align = r.U16(6);
      break;
    case 0x001E:
      player.SaveDC();
      break;
    case 0x0127:
      player.RestoreDC(p(0));
      break;
    case 0x02FA: {  // pen: style, width (x, y), colour
      if (!r.Has(6, 10)) break;
      player.AddObject(
          TGdiObject{TGdiObject::kPen, {r.U16(6), static_cast<double>(p(1)), colour(3)}, {}, {}});
      break;
    }
    case 0x02FC: {  // brush: style, colour, hatch
      if (!r.Has(6, 8)) break;
      player.AddObject(TGdiObject{TGdiObject::kBrush, {}, {r.U16(6), colour(1), r.U16(12)}, {}});
      break;
    }
    case 0x02FB: {  // font
      if (!r.Has(6, 18)) break;
      TGdiObject font{TGdiObject::kFont, {}, {}, {}};
      font.font.height = p(0);
      font.font.weight = p(4) == 0 ? 400 : p(4);
      font.font.italic = r.U8(16) != 0;
      font.font.underline = r.U8(17) != 0;
      font.font.strike_out = r.U8(18) != 0;
      QByteArray face;
      for (int64_t i = 24; i < r.Size() && i < 24 + 32 && r.U8(i) != 0; ++i)
        face.append(static_cast<char>(r.U8(i)));
      font.font.face = QString::fromLatin1(face);
      player.AddObject(font);
      break;
    }
    case 0x00F7:
    case 0x0142:
    case 0x01F9:
    case 0x06FF:  // palette, pattern brushes, region
      player.AddObject(function == 0x00F7 || function == 0x06FF
                           ? TGdiObject{}
                           : TGdiObject{TGdiObject::kBrush, {}, {3, Qt::gray, 0}, {}});
      break;
    case 0x012D:
      player.SelectObject(r.U16(6));
      break;
    case 0x01F0:
      player.DeleteObject(r.U16(6));
      break;
    case 0x0214:
      player.MoveTo(point(0));
      break;
    case 0x0213:
      player.LineTo(point(0));
      break;
    case 0x041B:
      player.Rectangle(box(0));
      break;
    case 0x0418:
      player.Ellipse(box(0));
      break;
    case 0x061C:
      player.RoundRect(box(2), QSizeF(p(1), p(0)));
      break;
    case 0x0817:
    case 0x0830:
    case 0x081A:
      player.ArcShape(function == 0x0817   ? 0
                      : function == 0x0830 ? 1
                                           : 2,
                      box(4), point(2), point(0));
      break;
    case 0x0324:
    case 0x0325: {  // polygon, polyline
      const int64_t count = r.U16(6);
      if (!r.Has(8, count * 4)) break;
      const QPolygonF points = Points16(r, 8, count);
      if (function == 0x0324) {
        player.Polygons({points});
      } else {
        player.Polyline(points);
      }
      break;
    }
    case 0x0538: {  // poly polygon
      const int64_t polys = r.U16(6);
      if (!r.Has(8, polys * 2)) break;
      std::vector<QPolygonF> polygons;
      int64_t at = 8 + polys * 2;
      for (int64_t i = 0; i < polys; ++i) {
        const int64_t n = r.U16(8 + 2 * i);
        if (!r.Has(at, n * 4)) return;
        polygons.push_back(Points16(r, at, n));
        at += n * 4;
      }
      player.Polygons(polygons);
      break;
    }
    case 0x0521: {  // text: length, string (padded to even), y, x
      const int64_t length = r.U16(6);
      const int64_t padded = (length + 1) & ~int64_t{1};
      if (!r.Has(8, padded + 4)) break;
      const QString text = QString::fromLatin1(reinterpret_cast<const char*>(r.At(8)),
                                               static_cast<qsizetype>(length));
      player.Text(QPointF(r.I16(8 + padded + 2), r.I16(8 + padded)), text);
      break;
    }
    case 0x0A32: {  // extended text: y, x, length, options, [rectangle], string
      const int64_t length = r.U16(10);
      const uint16_t options = r.U16(12);
      const int64_t at = (options & 0x0006) ? 22 : 14;
      if (!r.Has(at, length)) break;
      const QString text = QString::fromLatin1(reinterpret_cast<const char*>(r.At(at)),
                                               static_cast<qsizetype>(length));
      player.Text(point(0), text);
      break;
    }
    case 0x0F43: {  // stretch DIB: rop, usage, source h w y x, dest h w y x, DIB
      const int64_t dib = 6 + 4 + 2 + 16;
      const QImage image = DibFromPacked(r, dib);
      player.Image(image, QRectF(p(10), p(9), p(8), p(7)),
                   DibSource(image, p(6), p(5), p(4), p(3)));
      break;
    }
    case 0x0B41: {  // DIB stretch blit: rop, source h w y x, dest h w y x, DIB
      const int64_t dib = 6 + 4 + 16;
      const QImage image = DibFromPacked(r, dib);
      player.Image(image, QRectF(p(9), p(8), p(7), p(6)), DibSource(image, p(5), p(4), p(3), p(2)));
      break;
    }
    default:
      break;
  }
}

}  // namespace

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
    if (type == 14) break;
    if (type != 1) PlayEmfRecord(player, type, TRecord(data + at, length));
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
    if (length < 6 || length > size - at || function == 0) break;
    PlayWmfRecord(player, function, TRecord(data + at, length));
    at += length;
  }
  painter.restore();
}

}  // namespace qv
