// The records of an enhanced metafile: each known record becomes a call on the
// player; the others (clipping, palettes, comments and the rest) are skipped.
#include <optional>
#include <vector>

#include "graphics/metafile/player.h"

namespace qv::metafile {

namespace {

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

}  // namespace

void PlayEmfRecord(TPlayer& player, uint32_t type, const TRecord& r) {
  TDcState& s = player.State();
  const auto record = static_cast<EmfRecord>(type);
  switch (record) {
    case EmfRecord::PolyBezier:
    case EmfRecord::PolyBezier16:
      if (auto p = EmfPoly(r, record == EmfRecord::PolyBezier16)) player.Bezier(*p, false);
      break;
    case EmfRecord::Polygon:
    case EmfRecord::Polygon16:
      if (auto p = EmfPoly(r, record == EmfRecord::Polygon16)) player.Polygons({*p});
      break;
    case EmfRecord::Polyline:
    case EmfRecord::Polyline16:
      if (auto p = EmfPoly(r, record == EmfRecord::Polyline16)) player.Polyline(*p);
      break;
    case EmfRecord::PolyBezierTo:
    case EmfRecord::PolyBezierTo16:
      if (auto p = EmfPoly(r, record == EmfRecord::PolyBezierTo16)) player.Bezier(*p, true);
      break;
    case EmfRecord::PolylineTo:
    case EmfRecord::PolylineTo16:
      if (auto p = EmfPoly(r, record == EmfRecord::PolylineTo16)) player.PolylineTo(*p);
      break;
    case EmfRecord::PolyPolyline:
    case EmfRecord::PolyPolyline16:
      if (auto p = EmfPolyPoly(r, record == EmfRecord::PolyPolyline16))
        for (const QPolygonF& line : *p) player.Polyline(line);
      break;
    case EmfRecord::PolyPolygon:
    case EmfRecord::PolyPolygon16:
      if (auto p = EmfPolyPoly(r, record == EmfRecord::PolyPolygon16)) player.Polygons(*p);
      break;
    case EmfRecord::SetWindowExtEx:
      s.win_ext = QPointF(r.I32(8), r.I32(12));
      break;
    case EmfRecord::SetWindowOrgEx:
      s.win_org = QPointF(r.I32(8), r.I32(12));
      break;
    case EmfRecord::SetViewportExtEx:
      s.vp_ext = QPointF(r.I32(8), r.I32(12));
      break;
    case EmfRecord::SetViewportOrgEx:
      s.vp_org = QPointF(r.I32(8), r.I32(12));
      break;
    case EmfRecord::SetPixelV:
      player.Pixel(QPointF(r.I32(8), r.I32(12)), ColorRef(r.U32(16)));
      break;
    case EmfRecord::SetMapMode:
      s.map_mode = r.U32(8);
      break;
    case EmfRecord::SetBkMode:
      s.bk_opaque = r.U32(8) == kBkModeOpaque;
      break;
    case EmfRecord::SetPolyFillMode:
      s.fill_rule = r.U32(8) == kPolyFillWinding ? Qt::WindingFill : Qt::OddEvenFill;
      break;
    case EmfRecord::SetTextAlign:
      s.text_align = r.U32(8);
      break;
    case EmfRecord::SetTextColor:
      s.text_color = ColorRef(r.U32(8));
      break;
    case EmfRecord::SetBkColor:
      s.bk_color = ColorRef(r.U32(8));
      break;
    case EmfRecord::MoveToEx:
      player.MoveTo(QPointF(r.I32(8), r.I32(12)));
      break;
    case EmfRecord::SaveDC:
      player.SaveDC();
      break;
    case EmfRecord::RestoreDC:
      player.RestoreDC(r.I32(8));
      break;
    case EmfRecord::SetWorldTransform:
      if (r.Has(8, 24))
        s.world = QTransform(r.F32(8), r.F32(12), r.F32(16), r.F32(20), r.F32(24), r.F32(28));
      break;
    case EmfRecord::ModifyWorldTransform: {
      if (!r.Has(8, 28)) break;
      const QTransform x(r.F32(8), r.F32(12), r.F32(16), r.F32(20), r.F32(24), r.F32(28));
      switch (r.U32(32)) {
        case kWorldIdentity:
          s.world = QTransform();
          break;
        case kWorldLeftMultiply:
          s.world = x * s.world;
          break;
        case kWorldRightMultiply:
          s.world = s.world * x;
          break;
        case kWorldSet:
          s.world = x;
          break;
        default:
          break;
      }
      break;
    }
    case EmfRecord::SelectObject:
      player.SelectObject(r.U32(8));
      break;
    case EmfRecord::CreatePen: {
      if (!r.Has(8, 20)) break;
      TGdiObject pen{TGdiObject::kPen,
                     {r.U32(12), static_cast<double>(r.I32(16)), ColorRef(r.U32(24))},
                     {},
                     {}};
      player.SetObject(r.U32(8), pen);
      break;
    }
    case EmfRecord::ExtCreatePen: {  // extended pen: cosmetic pens are one pixel wide
      if (!r.Has(8, 36)) break;
      const uint32_t style = r.U32(28);
      const double width = (style & kPenGeometric) ? static_cast<double>(r.U32(32)) : 0.0;
      TGdiObject pen{TGdiObject::kPen, {style, width, ColorRef(r.U32(40))}, {}, {}};
      player.SetObject(r.U32(8), pen);
      break;
    }
    case EmfRecord::CreateBrushIndirect: {
      if (!r.Has(8, 16)) break;
      TGdiObject brush{TGdiObject::kBrush, {}, {r.U32(12), ColorRef(r.U32(16)), r.U32(20)}, {}};
      player.SetObject(r.U32(8), brush);
      break;
    }
    case EmfRecord::CreateMonoBrush:
    case EmfRecord::CreateDIBPatternBrushPt:  // pattern brushes: a slot, drawn as a plain pattern
      player.SetObject(r.U32(8), TGdiObject{TGdiObject::kBrush, {}, {3, Qt::gray, 0}, {}});
      break;
    case EmfRecord::CreatePalette:
      player.SetObject(r.U32(8), TGdiObject{});
      break;
    case EmfRecord::ExtCreateFontIndirectW: {
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
    case EmfRecord::DeleteObject:
      player.DeleteObject(r.U32(8));
      break;
    case EmfRecord::Ellipse:
      player.Ellipse(EmfRect(r, 8));
      break;
    case EmfRecord::Rectangle:
      player.Rectangle(EmfRect(r, 8));
      break;
    case EmfRecord::RoundRect:
      player.RoundRect(EmfRect(r, 8), QSizeF(r.I32(24), r.I32(28)));
      break;
    case EmfRecord::Arc:
    case EmfRecord::Chord:
    case EmfRecord::Pie:
      player.ArcShape(record == EmfRecord::Arc     ? TArcKind::Arc
                      : record == EmfRecord::Chord ? TArcKind::Chord
                                                   : TArcKind::Pie,
                      EmfRect(r, 8), QPointF(r.I32(24), r.I32(28)), QPointF(r.I32(32), r.I32(36)));
      break;
    case EmfRecord::LineTo:
      player.LineTo(QPointF(r.I32(8), r.I32(12)));
      break;
    case EmfRecord::BeginPath:
      player.BeginPath();
      break;
    case EmfRecord::EndPath:
      player.EndPath();
      break;
    case EmfRecord::CloseFigure:
      player.CloseFigure();
      break;
    case EmfRecord::FillPath:
      player.FinishPath(true, false);
      break;
    case EmfRecord::StrokeAndFillPath:
      player.FinishPath(true, true);
      break;
    case EmfRecord::StrokePath:
      player.FinishPath(false, true);
      break;
    case EmfRecord::AbortPath:
      player.EndPath();
      break;
    case EmfRecord::ExtTextOutA:
    case EmfRecord::ExtTextOutW: {  // text, 8-bit or UTF-16
      const int64_t chars = r.U32(44);
      const int64_t at = r.U32(48);
      QString text;
      if (record == EmfRecord::ExtTextOutW) {
        text = Utf16Text(r, at, chars);
      } else if (chars > 0 && r.Has(at, chars)) {
        text = QString::fromLatin1(reinterpret_cast<const char*>(r.At(at)),
                                   static_cast<qsizetype>(chars));
      }
      player.Text(QPointF(r.I32(36), r.I32(40)), text);
      break;
    }
    case EmfRecord::StretchDIBits: {
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

}  // namespace qv::metafile
