#include "graphics/metafile/player.h"

#include <cmath>
#include <numbers>

#include <QFontMetricsF>

namespace qv::metafile {

void TPlayer::SetObject(uint32_t index, const TGdiObject& object) {
  if (index == 0 || index >= object_limit_) return;  // 0 is the metafile itself
  if (objects_.size() <= index) objects_.resize(index + 1);
  objects_[index] = object;
}

void TPlayer::AddObject(const TGdiObject& object) {
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

void TPlayer::DeleteObject(uint32_t index) {
  if (index >= objects_.size()) return;
  objects_[index].reset();
  first_free_ = std::min<size_t>(first_free_, index);
}

void TPlayer::SelectObject(uint32_t index) {
  if (index & kStockObject) {
    SelectStock(index & ~kStockObject);
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

void TPlayer::SelectStock(uint32_t which) {
  static const QColor kBrushColors[] = {Qt::white, QColor(192, 192, 192), QColor(128, 128, 128),
                                        QColor(64, 64, 64), Qt::black};
  if (which <= kStockBlackBrush) state_.brush = TBrushSpec{kBrushSolid, kBrushColors[which], 0};
  if (which == kStockNullBrush) state_.brush = TBrushSpec{kBrushNull, Qt::white, 0};
  if (which == kStockWhitePen) state_.pen = TPenSpec{kPenSolid, 0, Qt::white};
  if (which == kStockBlackPen) state_.pen = TPenSpec{kPenSolid, 0, Qt::black};
  if (which == kStockNullPen) state_.pen = TPenSpec{kPenNull, 0, Qt::black};
  if (which >= kStockFirstFont && which <= kStockLastFont) state_.font = TFontSpec{};
}

void TPlayer::SaveDC() {
  if (saved_.size() < 4096) saved_.push_back(state_);
}

void TPlayer::RestoreDC(int32_t relative) {
  // Negative: that many levels back; positive: that level counted from the first save.
  int64_t level = relative < 0 ? static_cast<int64_t>(saved_.size()) + relative : relative - 1;
  if (level < 0 || level >= static_cast<int64_t>(saved_.size())) return;
  state_ = saved_[static_cast<size_t>(level)];
  saved_.resize(static_cast<size_t>(level));
}

QTransform TPlayer::Transform() const {
  if (windows_) {
    const double sx = state_.win_ext.x() != 0 ? target_.width() / state_.win_ext.x() : 1;
    const double sy = state_.win_ext.y() != 0 ? target_.height() / state_.win_ext.y() : 1;
    return QTransform::fromTranslate(-state_.win_org.x(), -state_.win_org.y()) *
           QTransform::fromScale(sx, sy) * QTransform::fromTranslate(target_.left(), target_.top());
  }
  double sx = 1, sy = 1;
  switch (state_.map_mode) {
    case kMapLoMetric:
      sx = 0.1, sy = -0.1;
      break;  // 0.1 mm
    case kMapHiMetric:
      sx = 0.01, sy = -0.01;
      break;  // 0.01 mm
    case kMapLoEnglish:
      sx = 0.254, sy = -0.254;
      break;  // 0.01 inch
    case kMapHiEnglish:
      sx = 0.0254, sy = -0.0254;
      break;  // 0.001 inch
    case kMapTwips:
      sx = 25.4 / 1440, sy = -25.4 / 1440;
      break;  // twips
    case kMapIsotropic:
    case kMapAnisotropic:
      sx = state_.win_ext.x() != 0 ? state_.vp_ext.x() / state_.win_ext.x() : 1;
      sy = state_.win_ext.y() != 0 ? state_.vp_ext.y() / state_.win_ext.y() : 1;
      break;
    default:
      break;
  }
  if (state_.map_mode >= kMapLoMetric && state_.map_mode <= kMapTwips) {
    sx *= pixels_per_mm_x_;
    sy *= pixels_per_mm_y_;
  }
  return state_.world * QTransform::fromTranslate(-state_.win_org.x(), -state_.win_org.y()) *
         QTransform::fromScale(sx, sy) *
         QTransform::fromTranslate(state_.vp_org.x(), state_.vp_org.y()) * device_;
}

void TPlayer::SetReferenceDevice(double pixels_per_mm_x, double pixels_per_mm_y) {
  pixels_per_mm_x_ = pixels_per_mm_x;
  pixels_per_mm_y_ = pixels_per_mm_y;
}

void TPlayer::Polyline(const QPolygonF& points) {
  if (points.size() < 2) return;
  if (in_path_) {
    PathMoveOrLine(points.first());
    for (qsizetype i = 1; i < points.size(); ++i) path_.lineTo(points[i]);
    return;
  }
  Prepare(false);
  painter_.drawPolyline(points);
}

void TPlayer::PolylineTo(const QPolygonF& points) {
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

void TPlayer::Polygons(const std::vector<QPolygonF>& polygons) {
  QPainterPath path;
  path.setFillRule(state_.fill_rule);
  for (const QPolygonF& polygon : polygons) {
    if (polygon.size() < 2) continue;
    path.addPolygon(polygon);
    path.closeSubpath();
  }
  DrawClosed(path);
}

void TPlayer::Bezier(const QPolygonF& points, bool from_position) {
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
    for (qsizetype i = 1; i + 2 < all.size(); i += 3) path_.cubicTo(all[i], all[i + 1], all[i + 2]);
    return;
  }
  Prepare(false);
  painter_.drawPath(curve);
}

void TPlayer::Rectangle(const QRectF& box) {
  QPainterPath path;
  path.addRect(box.normalized());
  DrawClosed(path);
}

void TPlayer::RoundRect(const QRectF& box, const QSizeF& corner) {
  QPainterPath path;
  path.addRoundedRect(box.normalized(), std::abs(corner.width()) / 2,
                      std::abs(corner.height()) / 2);
  DrawClosed(path);
}

void TPlayer::Ellipse(const QRectF& box) {
  QPainterPath path;
  path.addEllipse(box.normalized());
  DrawClosed(path);
}

void TPlayer::ArcShape(TArcKind kind, const QRectF& box_in, const QPointF& start,
                       const QPointF& end) {
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
  // A pie starts at the centre: arcTo draws its first radius to the arc's start.
  if (kind == TArcKind::Pie) {
    path.moveTo(c);
  } else {
    path.arcMoveTo(box, a0);
  }
  path.arcTo(box, a0, span);
  if (kind == TArcKind::Arc) {
    Prepare(false);
    painter_.drawPath(path);
    return;
  }
  path.closeSubpath();
  DrawClosed(path);
}

void TPlayer::MoveTo(const QPointF& p) {
  state_.position = p;
  if (in_path_) path_.moveTo(p);
}

void TPlayer::LineTo(const QPointF& p) {
  if (in_path_) {
    PathMoveOrLine(state_.position);
    path_.lineTo(p);
  } else {
    Prepare(false);
    painter_.drawLine(state_.position, p);
  }
  state_.position = p;
}

void TPlayer::Pixel(const QPointF& p, const QColor& color) {
  painter_.setTransform(Transform());
  painter_.fillRect(QRectF(p, QSizeF(1, 1)), color);
}

void TPlayer::BeginPath() {
  in_path_ = true;
  path_ = QPainterPath();
}

void TPlayer::CloseFigure() {
  if (in_path_) path_.closeSubpath();
}

void TPlayer::FinishPath(bool fill, bool stroke) {
  in_path_ = false;
  path_.setFillRule(state_.fill_rule);
  painter_.setTransform(Transform());
  painter_.setPen(stroke ? Pen() : QPen(Qt::NoPen));
  painter_.setBrush(fill ? Brush() : QBrush(Qt::NoBrush));
  painter_.drawPath(path_);
  path_ = QPainterPath();
}

void TPlayer::Text(QPointF p, const QString& text) {
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
    case kTextAlignRight:
      at.rx() -= width;
      break;
    case kTextAlignCenter:
      at.rx() -= width / 2;
      break;
    default:
      break;
  }
  switch (state_.text_align & kTextAlignVertical) {
    case kTextAlignTop:
      at.ry() += metrics.ascent();
      break;
    case kTextAlignBottom:
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

void TPlayer::Image(const QImage& image, const QRectF& dest, const QRectF& source) {
  if (image.isNull()) return;
  painter_.setTransform(Transform());
  painter_.drawImage(dest.normalized(), image, source);
}

QPen TPlayer::Pen() const {
  const uint32_t style = state_.pen.style & kPenLineMask;
  if (style == kPenNull) return QPen(Qt::NoPen);
  QPen pen(state_.pen.color);
  pen.setWidthF(state_.pen.width > 0 ? state_.pen.width : 0);
  switch (style) {
    case kPenDash:
      pen.setStyle(Qt::DashLine);
      break;
    case kPenDot:
      pen.setStyle(Qt::DotLine);
      break;
    case kPenDashDot:
      pen.setStyle(Qt::DashDotLine);
      break;
    case kPenDashDotDot:
      pen.setStyle(Qt::DashDotDotLine);
      break;
    default:
      break;
  }
  const uint32_t cap = state_.pen.style & kPenCapMask;
  pen.setCapStyle(cap == kPenCapSquare ? Qt::SquareCap
                  : cap == kPenCapFlat ? Qt::FlatCap
                                       : Qt::RoundCap);
  const uint32_t join = state_.pen.style & kPenJoinMask;
  pen.setJoinStyle(join == kPenJoinBevel   ? Qt::BevelJoin
                   : join == kPenJoinMiter ? Qt::MiterJoin
                                           : Qt::RoundJoin);
  return pen;
}

QBrush TPlayer::Brush() const {
  switch (state_.brush.style) {
    case kBrushSolid:
      return QBrush(state_.brush.color);
    case kBrushNull:
      return QBrush(Qt::NoBrush);
    case kBrushHatched: {
      static const Qt::BrushStyle kHatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                Qt::FDiagPattern, Qt::BDiagPattern,
                                                Qt::CrossPattern, Qt::DiagCrossPattern};
      return QBrush(state_.brush.color, kHatches[state_.brush.hatch < 6 ? state_.brush.hatch : 0]);
    }
    default:
      return QBrush(Qt::gray, Qt::Dense4Pattern);  // pattern brushes
  }
}

void TPlayer::Prepare(bool fill) {
  painter_.setTransform(Transform());
  painter_.setPen(Pen());
  painter_.setBrush(fill ? Brush() : QBrush(Qt::NoBrush));
  painter_.setBackgroundMode(state_.bk_opaque ? Qt::OpaqueMode : Qt::TransparentMode);
  painter_.setBackground(state_.bk_color);
}

void TPlayer::DrawClosed(const QPainterPath& shape) {
  if (in_path_) {
    path_.addPath(shape);
    return;
  }
  Prepare(true);
  painter_.drawPath(shape);
}

void TPlayer::PathMoveOrLine(const QPointF& p) {
  if (path_.elementCount() == 0 || path_.currentPosition() != p) path_.moveTo(p);
}

}  // namespace qv::metafile
