// The functions of a Windows metafile: each known function becomes a call on
// the player; the others are skipped.
#include <vector>

#include "graphics/metafile/player.h"

namespace qv::metafile {

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
  const auto record = static_cast<WmfFunction>(function);
  switch (record) {
    case WmfFunction::SetWindowOrg:
      s.win_org = point(0);
      break;
    case WmfFunction::SetWindowExt:
      s.win_ext = point(0);
      break;
    case WmfFunction::SetBkMode:
      s.bk_opaque = r.U16(6) == kBkModeOpaque;
      break;
    case WmfFunction::SetBkColor:
      s.bk_color = colour(0);
      break;
    case WmfFunction::SetTextColor:
      s.text_color = colour(0);
      break;
    case WmfFunction::SetPolyFillMode:
      s.fill_rule = r.U16(6) == kPolyFillWinding ? Qt::WindingFill : Qt::OddEvenFill;
      break;
    case WmfFunction::SetTextAlign:
      s.text_align = r.U16(6);
      break;
    case WmfFunction::SaveDC:
      player.SaveDC();
      break;
    case WmfFunction::RestoreDC:
      player.RestoreDC(p(0));
      break;
    case WmfFunction::CreatePenIndirect: {  // pen: style, width (x, y), colour
      if (!r.Has(6, 10)) break;
      player.AddObject(
          TGdiObject{TGdiObject::kPen, {r.U16(6), static_cast<double>(p(1)), colour(3)}, {}, {}});
      break;
    }
    case WmfFunction::CreateBrushIndirect: {  // brush: style, colour, hatch
      if (!r.Has(6, 8)) break;
      player.AddObject(TGdiObject{TGdiObject::kBrush, {}, {r.U16(6), colour(1), r.U16(12)}, {}});
      break;
    }
    case WmfFunction::CreateFontIndirect: {  // font
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
    case WmfFunction::CreatePalette:
    case WmfFunction::DibCreatePatternBrush:
    case WmfFunction::CreatePatternBrush:
    case WmfFunction::CreateRegion:  // palette, pattern brushes, region
      player.AddObject(record == WmfFunction::CreatePalette || record == WmfFunction::CreateRegion
                           ? TGdiObject{}
                           : TGdiObject{TGdiObject::kBrush, {}, {3, Qt::gray, 0}, {}});
      break;
    case WmfFunction::SelectObject:
      player.SelectObject(r.U16(6));
      break;
    case WmfFunction::DeleteObject:
      player.DeleteObject(r.U16(6));
      break;
    case WmfFunction::MoveTo:
      player.MoveTo(point(0));
      break;
    case WmfFunction::LineTo:
      player.LineTo(point(0));
      break;
    case WmfFunction::Rectangle:
      player.Rectangle(box(0));
      break;
    case WmfFunction::Ellipse:
      player.Ellipse(box(0));
      break;
    case WmfFunction::RoundRect:
      player.RoundRect(box(2), QSizeF(p(1), p(0)));
      break;
    case WmfFunction::Arc:
    case WmfFunction::Chord:
    case WmfFunction::Pie:
      player.ArcShape(record == WmfFunction::Arc     ? TArcKind::Arc
                      : record == WmfFunction::Chord ? TArcKind::Chord
                                                     : TArcKind::Pie,
                      box(4), point(2), point(0));
      break;
    case WmfFunction::Polygon:
    case WmfFunction::Polyline: {  // polygon, polyline
      const int64_t count = r.U16(6);
      if (!r.Has(8, count * 4)) break;
      const QPolygonF points = Points16(r, 8, count);
      if (record == WmfFunction::Polygon) {
        player.Polygons({points});
      } else {
        player.Polyline(points);
      }
      break;
    }
    case WmfFunction::PolyPolygon: {  // poly polygon
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
    case WmfFunction::TextOut: {  // text: length, string (padded to even), y, x
      const int64_t length = r.U16(6);
      const int64_t padded = (length + 1) & ~int64_t{1};
      if (!r.Has(8, padded + 4)) break;
      const QString text = QString::fromLatin1(reinterpret_cast<const char*>(r.At(8)),
                                               static_cast<qsizetype>(length));
      player.Text(QPointF(r.I16(8 + padded + 2), r.I16(8 + padded)), text);
      break;
    }
    case WmfFunction::ExtTextOut: {  // extended text: y, x, length, options, [rectangle], string
      const int64_t length = r.U16(10);
      const uint16_t options = r.U16(12);
      const int64_t at = (options & kTextOutWithRectangle) ? 22 : 14;
      if (!r.Has(at, length)) break;
      const QString text = QString::fromLatin1(reinterpret_cast<const char*>(r.At(at)),
                                               static_cast<qsizetype>(length));
      player.Text(point(0), text);
      break;
    }
    case WmfFunction::StretchDib: {  // stretch DIB: rop, usage, source h w y x, dest h w y x, DIB
      const int64_t dib = 6 + 4 + 2 + 16;
      const QImage image = DibFromPacked(r, dib);
      player.Image(image, QRectF(p(10), p(9), p(8), p(7)),
                   DibSource(image, p(6), p(5), p(4), p(3)));
      break;
    }
    case WmfFunction::DibStretchBlt: {  // DIB stretch blit: rop, source h w y x, dest h w y x, DIB
      const int64_t dib = 6 + 4 + 16;
      const QImage image = DibFromPacked(r, dib);
      player.Image(image, QRectF(p(9), p(8), p(7), p(6)), DibSource(image, p(5), p(4), p(3), p(2)));
      break;
    }
    default:
      break;
  }
}

}  // namespace qv::metafile
