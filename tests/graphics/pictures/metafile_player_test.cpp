// Metafile records played onto a 100 x 100 picture, checked by the pixels they
// leave: arcs, Béziers, text, saved states, object slots and mapping modes of
// both metafile kinds. One logical unit is one pixel unless a case maps it.
#include <initializer_list>
#include <string>

#include <QRect>

#include "graphics/metafile/playback.h"
#include "pictures_test_support.h"

namespace qv {
namespace {

using testing::Put16;
using testing::Put32;

constexpr QRgb kWhite = 0xFFFFFFFFu;
constexpr QRgb kBlack = 0xFF000000u;
constexpr QRgb kRed = 0xFFFF0000u;
constexpr QRgb kBlue = 0xFF0000FFu;
constexpr QRgb kGreen = 0xFF00FF00u;
// Colour references are 0x00BBGGRR.
constexpr int32_t kRefRed = 0x0000FF, kRefBlue = 0xFF0000, kRefGreen = 0x00FF00;

using Bytes = std::vector<uint8_t>;

// One enhanced record: type, size, then 32-bit parameters.
Bytes Emr(uint32_t type, std::initializer_list<int32_t> params) {
  Bytes b(8, 0);
  Put32(b, 0, type);
  size_t at = 8;
  for (int32_t v : params) Put32(b, at, static_cast<uint32_t>(v)), at += 4;
  Put32(b, 4, static_cast<uint32_t>(b.size()));
  return b;
}
// An enhanced record with 16-bit points after a 32-bit count (the *16 records).
Bytes Emr16(uint32_t type, std::initializer_list<int16_t> xy) {
  Bytes b = Emr(type, {0, 0, 0, 0, static_cast<int32_t>(xy.size() / 2)});
  size_t at = b.size();
  for (int16_t v : xy) Put16(b, at, static_cast<uint16_t>(v)), at += 2;
  Put32(b, 4, static_cast<uint32_t>(b.size()));
  return b;
}
// Text in UTF-16 at (x, y): the bounds, graphics mode, scales, then the text's
// reference point, length and offset (the record's text starts at byte 76).
Bytes EmrText(int32_t x, int32_t y, const std::u16string& text) {
  Bytes b =
      Emr(84, {0, 0, 0, 0, 1, 0, 0, x, y, static_cast<int32_t>(text.size()), 76, 0, 0, 0, 0, 0, 0});
  b.resize(76);
  for (char16_t c : text) Put16(b, b.size(), c);
  Put32(b, 4, static_cast<uint32_t>(b.size()));
  return b;
}
// A font of `height` (negative: character height) in slot `slot`.
Bytes EmrFont(int32_t slot, int32_t height) {
  Bytes b = Emr(82, {slot, height, 0, 0, 0, 700});
  b.resize(12 + 92);
  Put32(b, 4, static_cast<uint32_t>(b.size()));
  return b;
}
Bytes Brush(int32_t slot, int32_t color) {
  return Emr(39, {slot, 0, color, 0});
}
Bytes Select(int32_t slot) {
  return Emr(37, {slot});
}
Bytes Rect(int32_t l, int32_t t, int32_t r, int32_t b) {
  return Emr(43, {l, t, r, b});
}

// A whole enhanced metafile: its frame is 100 x 100 pixels of a reference
// device of one pixel per millimetre, with `handles` object slots.
Bytes Emf(std::initializer_list<Bytes> records, uint16_t handles = 16) {
  Bytes b(88, 0);
  Put32(b, 0, 1);
  Put32(b, 4, 88);
  Put32(b, 32, 10000);  // frame in 0.01 mm
  Put32(b, 36, 10000);
  Put16(b, 56, handles);
  Put32(b, 72, 100);  // reference device: 100 x 100 pixels, 100 x 100 mm
  Put32(b, 76, 100);
  Put32(b, 80, 100);
  Put32(b, 84, 100);
  for (const Bytes& r : records) b.insert(b.end(), r.begin(), r.end());
  const Bytes end = Emr(14, {0, 0, 0});
  b.insert(b.end(), end.begin(), end.end());
  return b;
}

// One Windows metafile record: size in words, function, 16-bit parameters.
Bytes Wmr(uint16_t function, std::initializer_list<int32_t> params) {
  Bytes b;
  Put16(b, 4, function);
  size_t at = 6;
  for (int32_t v : params) Put16(b, at, static_cast<uint16_t>(v)), at += 2;
  Put32(b, 0, static_cast<uint32_t>(b.size() / 2));
  return b;
}
Bytes WBrush(int32_t color) {
  return Wmr(0x02FC, {0, color & 0xFFFF, color >> 16, 0});
}
Bytes WRect(int32_t l, int32_t t, int32_t r, int32_t b) {
  return Wmr(0x041B, {b, r, t, l});
}

// A Windows metafile (from its 18-byte header on) with `objects` slots.
Bytes Wmf(std::initializer_list<Bytes> records, uint16_t objects = 16) {
  Bytes b(18, 0);
  Put16(b, 0, 1);
  Put16(b, 2, 9);
  Put16(b, 4, 0x300);
  Put16(b, 10, objects);
  for (const Bytes& r : records) b.insert(b.end(), r.begin(), r.end());
  const Bytes end = Wmr(0, {});
  b.insert(b.end(), end.begin(), end.end());
  return b;
}

// An area that must (or must not) hold at least one pixel of a colour.
struct TProbe {
  QRect area;
  QRgb color;
  bool present = true;
};
TProbe At(int x, int y, QRgb color) {
  return {QRect(x, y, 1, 1), color, true};
}
TProbe Near(int x, int y, QRgb color) {
  return {QRect(x - 1, y - 1, 3, 3), color, true};
}
TProbe NoneIn(QRect area, QRgb color) {
  return {area, color, false};
}

struct TCase {
  const char* what;
  bool enhanced;
  Bytes bytes;
  std::vector<TProbe> probes;
};

QImage Play(const TCase& c) {
  QImage image(100, 100, QImage::Format_RGB32);
  image.fill(kWhite);
  QPainter painter(&image);
  const QRectF target(0, 0, 100, 100);
  if (c.enhanced) {
    PlayEnhancedMetafile(painter, c.bytes.data(), static_cast<int64_t>(c.bytes.size()), target);
  } else {
    PlayWindowsMetafile(painter, c.bytes.data(), static_cast<int64_t>(c.bytes.size()), target,
                        target);
  }
  painter.end();
  return image;
}

bool Holds(const QImage& image, const QRect& area, QRgb color) {
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (image.rect().contains(x, y) && image.pixel(x, y) == color) return true;
  return false;
}

TEST(MetafilePlayer, RecordsLeaveTheirPixels) {
  testing::EnsureGuiApplication();
  // The circle of the arc cases: box 10..90, centre (50, 50), radius 40; from
  // (90, 50) counter-clockwise to (50, 10) is its upper right quarter.
  const std::vector<TCase> cases = {
      {"arc: the upper half only, outline without fill",
       true,
       Emf({Brush(1, kRefRed), Select(1), Emr(45, {10, 10, 90, 90, 90, 50, 10, 50})}),
       {Near(50, 10, kBlack), NoneIn(QRect(45, 85, 10, 10), kBlack),
        NoneIn(QRect(0, 0, 100, 100), kRed)}},
      {"pie: the quarter from the start point counter-clockwise to the end point",
       true,
       Emf({Brush(1, kRefRed), Select(1), Emr(47, {10, 10, 90, 90, 90, 50, 50, 10})}),
       {At(65, 35, kRed), At(35, 35, kWhite), At(65, 65, kWhite), At(35, 65, kWhite)}},
      {"chord: only the segment beyond the line from start to end",
       true,
       Emf({Brush(1, kRefRed), Select(1), Emr(46, {10, 10, 90, 90, 90, 50, 50, 10})}),
       {At(75, 25, kRed), At(60, 40, kWhite)}},
      {"Windows arc: the same upper half (parameters run backwards)",
       false,
       Wmf({Wmr(0x0817, {50, 10, 50, 90, 90, 90, 10, 10})}),
       {Near(50, 10, kBlack), NoneIn(QRect(45, 85, 10, 10), kBlack)}},
      {"Windows pie",
       false,
       Wmf({WBrush(kRefRed), Wmr(0x012D, {0}), Wmr(0x081A, {10, 50, 50, 90, 90, 90, 10, 10})}),
       {At(65, 35, kRed), At(35, 35, kWhite), At(65, 65, kWhite)}},
      {"Bézier: passes through its middle, not its control points",
       true,
       Emf({Emr16(85, {10, 90, 10, 10, 90, 10, 90, 90})}),
       {Near(50, 30, kBlack), NoneIn(QRect(45, 5, 10, 10), kBlack), Near(10, 89, kBlack)}},
      {"Bézier from the current position, which then moves to its end",
       true,
       Emf({Emr(27, {10, 90}), Emr16(88, {10, 10, 90, 10, 90, 90}), Emr(54, {50, 90})}),
       {Near(50, 30, kBlack), Near(70, 90, kBlack), NoneIn(QRect(20, 88, 20, 3), kBlack)}},
      {"text: red on its opaque blue box, left and top at the reference point",
       true,
       Emf({EmrFont(1, -30), Select(1), Emr(24, {kRefRed}), Emr(25, {kRefBlue}),
            EmrText(20, 40, u"HH")}),
       {{QRect(20, 40, 40, 30), kRed},
        {QRect(20, 40, 40, 30), kBlue},
        NoneIn(QRect(0, 0, 100, 39), kRed),
        NoneIn(QRect(0, 0, 19, 100), kBlue)}},
      {"text: right-aligned and transparent ends at the reference point",
       true,
       Emf({EmrFont(1, -30), Select(1), Emr(24, {kRefRed}), Emr(18, {1}), Emr(22, {2}),
            EmrText(80, 40, u"HH")}),
       {{QRect(40, 40, 40, 30), kRed},
        NoneIn(QRect(82, 0, 18, 100), kRed),
        NoneIn(QRect(0, 0, 100, 100), kBlue)}},
      {"Windows text",
       false,
       Wmf({Wmr(0x02FB, {-30, 0, 0, 0, 700, 0, 0, 0, 0}), Wmr(0x012D, {0}),
            Wmr(0x0209, {kRefRed, 0}), Wmr(0x0521, {2, 'H' | ('H' << 8), 40, 20})}),
       {{QRect(20, 40, 40, 30), kRed}, NoneIn(QRect(0, 0, 100, 39), kRed)}},
      {"RestoreDC(-1) brings back the brush of the last save",
       true,
       Emf({Brush(1, kRefRed), Brush(2, kRefBlue), Select(1), Emr(33, {}), Select(2),
            Rect(10, 10, 40, 40), Emr(34, {-1}), Rect(60, 60, 90, 90)}),
       {At(25, 25, kBlue), At(75, 75, kRed)}},
      {"RestoreDC(1) goes back to the first save, dropping the later ones",
       true,
       Emf({Brush(1, kRefRed), Brush(2, kRefBlue), Brush(3, kRefGreen), Select(1), Emr(33, {}),
            Select(2), Emr(33, {}), Select(3), Emr(34, {1}), Rect(10, 10, 40, 40), Emr(34, {-1}),
            Rect(60, 60, 90, 90)}),
       {At(25, 25, kRed), At(75, 75, kRed)}},
      {"Windows SaveDC and RestoreDC",
       false,
       Wmf({WBrush(kRefRed), WBrush(kRefBlue), Wmr(0x012D, {0}), Wmr(0x001E, {}), Wmr(0x012D, {1}),
            WRect(10, 10, 40, 40), Wmr(0x0127, {-1}), WRect(60, 60, 90, 90)}),
       {At(25, 25, kBlue), At(75, 75, kRed)}},
      {"a stock object: the black brush",
       true,
       Emf({Emr(37, {static_cast<int32_t>(0x80000004u)}), Rect(10, 10, 90, 90)}),
       {At(50, 50, kBlack)}},
      {"a deleted slot selects nothing",
       true,
       Emf({Brush(1, kRefRed), Brush(2, kRefBlue), Select(1), Emr(40, {2}), Select(2),
            Rect(10, 10, 90, 90)}),
       {At(50, 50, kRed)}},
      {"a slot past the header's count is not made",
       true,
       Emf({Brush(1, kRefRed), Select(1), Brush(2, kRefBlue), Select(2), Rect(10, 10, 90, 90)}, 2),
       {At(50, 50, kRed)}},
      {"Windows objects take the lowest free slot",
       false,
       Wmf({WBrush(kRefRed), WBrush(kRefBlue), Wmr(0x01F0, {0}), WBrush(kRefGreen),
            Wmr(0x012D, {0}), WRect(10, 10, 40, 40), Wmr(0x012D, {1}), WRect(60, 60, 90, 90)}),
       {At(25, 25, kGreen), At(75, 75, kBlue)}},
      {"anisotropic: a window of 10 units onto a viewport of 100 pixels",
       true,
       Emf({Brush(1, kRefRed), Select(1), Emr(17, {8}), Emr(9, {10, 10}), Emr(11, {100, 100}),
            Rect(1, 1, 5, 5)}),
       {At(30, 30, kRed), At(60, 60, kWhite), At(5, 5, kWhite)}},
      {"0.1 mm units, y up from the viewport origin",
       true,
       Emf({Brush(1, kRefRed), Select(1), Emr(17, {2}), Emr(12, {0, 100}),
            Rect(100, 100, 500, 500)}),
       {At(30, 70, kRed), At(30, 30, kWhite)}},
      {"0.01 mm units, y up",
       true,
       Emf({Brush(1, kRefRed), Select(1), Emr(17, {3}), Emr(12, {0, 100}),
            Rect(1000, 1000, 5000, 5000)}),
       {At(30, 70, kRed), At(30, 30, kWhite)}},
      {"a world transform that doubles",
       true,
       Emf({Brush(1, kRefRed), Select(1), Emr(35, {0x40000000, 0, 0, 0x40000000, 0, 0}),
            Rect(5, 5, 25, 25)}),
       {At(40, 40, kRed), At(60, 60, kWhite)}},
      {"Windows window origin and extent map onto the target",
       false,
       Wmf({WBrush(kRefRed), Wmr(0x012D, {0}), Wmr(0x020B, {100, 100}), Wmr(0x020C, {10, 10}),
            WRect(101, 101, 105, 105)}),
       {At(30, 30, kRed), At(60, 60, kWhite)}},
  };
  for (const TCase& c : cases) {
    const QImage image = Play(c);
    for (const TProbe& p : c.probes) {
      EXPECT_EQ(Holds(image, p.area, p.color), p.present)
          << c.what << ": colour " << std::hex << p.color << std::dec << " in (" << p.area.x()
          << ", " << p.area.y() << ") " << p.area.width() << " x " << p.area.height();
    }
  }
}

}  // namespace
}  // namespace qv
