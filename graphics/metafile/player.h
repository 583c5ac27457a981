// The playback state of a metafile: the graphics state, its saved copies, the
// object table and the drawing onto a QPainter that both metafile kinds share.
// The record handlers (emf_records.cpp, wmf_records.cpp) turn records into
// calls on a TPlayer.
#pragma once

#include <algorithm>
#include <optional>
#include <vector>

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>

#include "graphics/metafile/records.h"

namespace qv::metafile {

struct TPenSpec {
  uint32_t style = kPenSolid;  // PenStyle: the line, caps and joins
  double width = 0;            // logical units; 0 is one device pixel
  QColor color = Qt::black;
};

struct TBrushSpec {
  uint32_t style = kBrushSolid;  // BrushStyle; others are drawn as a 50% pattern
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
  uint32_t map_mode = kMapText;
  QPointF win_org, win_ext{1, 1}, vp_org, vp_ext{1, 1};
  QTransform world;
  QPointF position;
};

// The three shapes cut from an ellipse between two radii.
enum class TArcKind { Arc, Chord, Pie };

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
  void SetObject(uint32_t index, const TGdiObject& object);
  void AddObject(const TGdiObject& object);
  void DeleteObject(uint32_t index);
  void SelectObject(uint32_t index);
  void SelectStock(uint32_t which);

  void SaveDC();
  void RestoreDC(int32_t relative);

  // Logical coordinates to target pixels.
  QTransform Transform() const;
  void SetReferenceDevice(double pixels_per_mm_x, double pixels_per_mm_y);

  // Shapes. Inside a path bracket they add to the path instead of drawing.
  void Polyline(const QPolygonF& points);
  void PolylineTo(const QPolygonF& points);
  void Polygons(const std::vector<QPolygonF>& polygons);
  void Bezier(const QPolygonF& points, bool from_position);
  void Rectangle(const QRectF& box);
  void RoundRect(const QRectF& box, const QSizeF& corner);
  void Ellipse(const QRectF& box);
  // Drawn counter-clockwise from start to end.
  void ArcShape(TArcKind kind, const QRectF& box_in, const QPointF& start, const QPointF& end);
  void MoveTo(const QPointF& p);
  void LineTo(const QPointF& p);
  void Pixel(const QPointF& p, const QColor& color);

  void BeginPath();
  void EndPath() { in_path_ = false; }
  void CloseFigure();
  void FinishPath(bool fill, bool stroke);

  // Text at `p` (logical), drawn upright in target pixels.
  void Text(QPointF p, const QString& text);

  void Image(const QImage& image, const QRectF& dest, const QRectF& source);

 private:
  QPen Pen() const;
  QBrush Brush() const;
  void Prepare(bool fill);
  void DrawClosed(const QPainterPath& shape);
  void PathMoveOrLine(const QPointF& p);

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

// Plays one record of an enhanced metafile (`type` is its first word).
void PlayEmfRecord(TPlayer& player, uint32_t type, const TRecord& r);
// Plays one record of a Windows metafile (`function` is its function word).
void PlayWmfRecord(TPlayer& player, uint16_t function, const TRecord& r);

}  // namespace qv::metafile
