// What the metafile player's record handlers share: the names of the enhanced
// records and Windows metafile functions we know and of the values they carry, bounds-checked
// access to one record, and the readers of points and bitmaps inside records.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include <QColor>
#include <QImage>
#include <QPolygonF>
#include <QRectF>

namespace qv::metafile {

// Enhanced metafile record types (the record's first 32-bit word).
enum class EmfRecord : uint32_t {
  Header = 1,
  PolyBezier = 2,
  Polygon = 3,
  Polyline = 4,
  PolyBezierTo = 5,
  PolylineTo = 6,
  PolyPolyline = 7,
  PolyPolygon = 8,
  SetWindowExtEx = 9,
  SetWindowOrgEx = 10,
  SetViewportExtEx = 11,
  SetViewportOrgEx = 12,
  Eof = 14,
  SetPixelV = 15,
  SetMapMode = 17,
  SetBkMode = 18,
  SetPolyFillMode = 19,
  SetTextAlign = 22,
  SetTextColor = 24,
  SetBkColor = 25,
  MoveToEx = 27,
  SaveDC = 33,
  RestoreDC = 34,
  SetWorldTransform = 35,
  ModifyWorldTransform = 36,
  SelectObject = 37,
  CreatePen = 38,
  CreateBrushIndirect = 39,
  DeleteObject = 40,
  Ellipse = 42,
  Rectangle = 43,
  RoundRect = 44,
  Arc = 45,
  Chord = 46,
  Pie = 47,
  CreatePalette = 49,
  LineTo = 54,
  BeginPath = 59,
  EndPath = 60,
  CloseFigure = 61,
  FillPath = 62,
  StrokeAndFillPath = 63,
  StrokePath = 64,
  AbortPath = 68,
  StretchDIBits = 81,
  ExtCreateFontIndirectW = 82,
  ExtTextOutA = 83,
  ExtTextOutW = 84,
  PolyBezier16 = 85,
  Polygon16 = 86,
  Polyline16 = 87,
  PolyBezierTo16 = 88,
  PolylineTo16 = 89,
  PolyPolyline16 = 90,
  PolyPolygon16 = 91,
  CreateMonoBrush = 93,
  CreateDIBPatternBrushPt = 94,
  ExtCreatePen = 95,
};

// Windows metafile functions (the record's 16-bit function word).
enum class WmfFunction : uint16_t {
  Eof = 0x0000,
  SaveDC = 0x001E,
  CreatePalette = 0x00F7,
  SetBkMode = 0x0102,
  SetPolyFillMode = 0x0106,
  RestoreDC = 0x0127,
  SelectObject = 0x012D,
  SetTextAlign = 0x012E,
  DibCreatePatternBrush = 0x0142,
  DeleteObject = 0x01F0,
  CreatePatternBrush = 0x01F9,
  SetBkColor = 0x0201,
  SetTextColor = 0x0209,
  SetWindowOrg = 0x020B,
  SetWindowExt = 0x020C,
  LineTo = 0x0213,
  MoveTo = 0x0214,
  CreatePenIndirect = 0x02FA,
  CreateFontIndirect = 0x02FB,
  CreateBrushIndirect = 0x02FC,
  Polygon = 0x0324,
  Polyline = 0x0325,
  Ellipse = 0x0418,
  Rectangle = 0x041B,
  TextOut = 0x0521,
  PolyPolygon = 0x0538,
  RoundRect = 0x061C,
  CreateRegion = 0x06FF,
  Arc = 0x0817,
  Pie = 0x081A,
  Chord = 0x0830,
  ExtTextOut = 0x0A32,
  DibStretchBlt = 0x0B41,
  StretchDib = 0x0F43,
};

// Mapping modes: how logical units become device pixels.
enum MapMode : uint32_t {
  kMapText = 1,         // one unit, one pixel
  kMapLoMetric = 2,     // 0.1 mm, y up
  kMapHiMetric = 3,     // 0.01 mm, y up
  kMapLoEnglish = 4,    // 0.01 inch, y up
  kMapHiEnglish = 5,    // 0.001 inch, y up
  kMapTwips = 6,        // 1/1440 inch, y up
  kMapIsotropic = 7,    // window onto viewport, same scale both ways
  kMapAnisotropic = 8,  // window onto viewport
};

// How a ModifyWorldTransform record combines its transform X with the world
// transform W.
enum WorldTransformMode : uint32_t {
  kWorldIdentity = 1,       // W becomes the identity
  kWorldLeftMultiply = 2,   // X then W
  kWorldRightMultiply = 3,  // W then X
  kWorldSet = 4,            // W becomes X
};

// Stock objects: SelectObject's index with kStockObject set names one of them.
inline constexpr uint32_t kStockObject = 0x80000000u;
enum StockObject : uint32_t {
  kStockWhiteBrush = 0,
  kStockLightGrayBrush = 1,
  kStockGrayBrush = 2,
  kStockDarkGrayBrush = 3,
  kStockBlackBrush = 4,
  kStockNullBrush = 5,
  kStockWhitePen = 6,
  kStockBlackPen = 7,
  kStockNullPen = 8,
  kStockFirstFont = 10,  // the stock fonts, 10 to 17, all drawn with the default font
  kStockLastFont = 17,
};

// Pen styles: the line in the low four bits, then the end caps and the joins
// of a geometric (extended) pen, whose width is in logical units.
enum PenStyle : uint32_t {
  kPenSolid = 0,
  kPenDash = 1,
  kPenDot = 2,
  kPenDashDot = 3,
  kPenDashDotDot = 4,
  kPenNull = 5,
  kPenLineMask = 0xF,
  kPenCapRound = 0x000,
  kPenCapSquare = 0x100,
  kPenCapFlat = 0x200,
  kPenCapMask = 0xF00,
  kPenJoinRound = 0x0000,
  kPenJoinBevel = 0x1000,
  kPenJoinMiter = 0x2000,
  kPenJoinMask = 0xF000,
  kPenGeometric = 0x10000,
};

// Brush styles; the others are pattern brushes.
enum BrushStyle : uint32_t {
  kBrushSolid = 0,
  kBrushNull = 1,
  kBrushHatched = 2,
};

// Text alignment: whether text moves the current position, then where the
// point lies on the text horizontally and vertically.
enum TextAlign : uint32_t {
  kTextAlignUpdateCp = 1,
  kTextAlignLeft = 0,
  kTextAlignRight = 2,
  kTextAlignCenter = 6,
  kTextAlignHorizontal = 6,  // mask
  kTextAlignTop = 0,
  kTextAlignBottom = 8,
  kTextAlignBaseline = 24,
  kTextAlignVertical = 24,  // mask
};

// The background mode that fills behind text and dashes, and the polygon fill
// mode that fills every enclosed area (the other modes are transparent and
// alternate).
inline constexpr uint32_t kBkModeOpaque = 2;
inline constexpr uint32_t kPolyFillWinding = 2;

// Text output options that put a rectangle before the string (opaque, clipped).
inline constexpr uint32_t kTextOutWithRectangle = 0x0006;

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

// A colour reference: red, green, blue in the low three bytes.
inline QColor ColorRef(uint32_t value) {
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}
// A DIB inside a record (info header at `bmi`, pixels at `bits`), or a null
// image when it does not fit or cannot be read.
QImage RecordDib(const TRecord& r, int64_t bmi, int64_t bmi_size, int64_t bits, int64_t bits_size);
// A packed DIB at `at`: info header, masks and colours, then the pixels to the record's end.
QImage DibFromPacked(const TRecord& r, int64_t at);
// The part of a DIB that a source rectangle names; DIB rows count from the bottom.
QRectF DibSource(const QImage& image, double x, double y, double w, double h);
// `count` points of two 32-bit or two 16-bit coordinates (x, y) from `at`.
QPolygonF Points32(const TRecord& r, int64_t at, int64_t count);
QPolygonF Points16(const TRecord& r, int64_t at, int64_t count);

}  // namespace qv::metafile
