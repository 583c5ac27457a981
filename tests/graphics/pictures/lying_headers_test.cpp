// Headers that lie about sizes and counts: each gives its class's error (or
// EOutOfMemory for a picture over the budget) and never reads or allocates
// past what the bytes hold.
#include "graphics/bitmap.h"
#include "graphics/file_bytes_graphic.h"
#include "graphics/icon.h"
#include "graphics/metafile/metafile.h"
#include "graphics/picture_budget.h"
#include "graphics/png_picture.h"
#include "pictures_test_support.h"

namespace qv {
namespace {

using testing::Put16;
using testing::Put32;
using testing::ReadOutcome;

constexpr const char* kOk = "ok";
constexpr const char* kReadError = "EReadError: Stream read error";
constexpr const char* kOutOfMemory = "EOutOfMemory: Out of memory";

// A 4x2 24-bit BMP file with a 40-byte info header.
std::vector<uint8_t> SmallBmp() {
  std::vector<uint8_t> b(14 + 40 + 2 * 12, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<uint32_t>(b.size()));
  Put32(b, 10, 54);
  Put32(b, 14, 40);
  Put32(b, 18, 4);
  Put32(b, 22, 2);
  Put16(b, 26, 1);
  Put16(b, 28, 24);
  for (size_t i = 54; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i);
  return b;
}

TEST(LyingHeaders, Bitmaps) {
  testing::EnsureGuiApplication();
  const auto with = [](auto change) {
    std::vector<uint8_t> b = SmallBmp();
    change(b);
    return b;
  };
  const auto cut = [](size_t n) {
    std::vector<uint8_t> b = SmallBmp();
    b.resize(n);
    return b;
  };
  // Checked as 32-bit pixels: 40000 of them a row.
  const auto over_the_budget = static_cast<uint32_t>(PictureBudget() / (40000 * 4) + 1);
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* outcome;
  } cases[] = {
      {"well formed", SmallBmp(), kOk},
      {"empty", {}, kOk},
      {"one byte", {'B'}, kReadError},
      {"file header only", cut(14), kReadError},
      {"info header cut", cut(30), kReadError},
      {"pixels cut", cut(14 + 40 + 12), kReadError},
      {"not BM", with([](auto& b) { b[1] = 'A'; }), "EInvalidGraphic: Bitmap image is not valid"},
      {"header size 41", with([](auto& b) { Put32(b, 14, 41); }),
       "EInvalidGraphic: Bitmap image is not valid"},
      {"header size 4 GB", with([](auto& b) { Put32(b, 14, 0xFFFFFFFFu); }),
       "EInvalidGraphic: Bitmap image is not valid"},
      {"zero width", with([](auto& b) { Put32(b, 18, 0); }),
       "EInvalidGraphic: Bitmap image is not valid"},
      {"zero height", with([](auto& b) { Put32(b, 22, 0); }),
       "EInvalidGraphic: Bitmap image is not valid"},
      {"most negative height", with([](auto& b) { Put32(b, 22, 0x80000000u); }), kReadError},
      {"huge width", with([](auto& b) { Put32(b, 18, 0x7FFFFFFFu); }), kReadError},
      {"huge both", with([](auto& b) {
         Put32(b, 18, 0x7FFFFFFFu);
         Put32(b, 22, 0x7FFFFFFFu);
       }),
       kReadError},
      {"palette of 4 G colours", with([](auto& b) { Put32(b, 46, 0xFFFFFFFFu); }), kReadError},
      {"pixels past the end", with([](auto& b) { Put32(b, 10, 0xFFFFFFF0u); }), kReadError},
      {"pixels inside the header", with([](auto& b) { Put32(b, 10, 20); }),
       "EInvalidGraphic: Bitmap image is not valid"},
      {"compression 9", with([](auto& b) { Put32(b, 30, 9); }),
       "EInvalidGraphic: Bitmap image is not valid"},
      // Compressed rows say nothing about the size: the budget stops it before Qt allocates.
      {"RLE 40000 x (one row over the budget)", with([&](auto& b) {
         Put16(b, 28, 8);
         Put32(b, 30, 1);
         Put32(b, 18, 40000);
         Put32(b, 22, over_the_budget);
         Put32(b, 10, 54 + 1024);
         b.resize(54 + 1024 + 4, 0);
       }),
       kOutOfMemory},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadOutcome<TBitmap>(c.bytes), c.outcome) << c.what;

  // A failed read leaves the bitmap as it was.
  TBitmap bitmap;
  testing::ReadBytes(bitmap, SmallBmp());
  EXPECT_THROW(testing::ReadBytes(bitmap, cut(60)), EReadError);
  EXPECT_EQ(bitmap.Width(), 4);
  EXPECT_EQ(bitmap.Height(), 2);
}

// An icon file with one 2x2 32-bit image (BGRA rows, then a mask).
std::vector<uint8_t> SmallIcon() {
  std::vector<uint8_t> b(6 + 16 + 40 + 16 + 8, 0);
  Put16(b, 2, 1);
  Put16(b, 4, 1);
  b[6] = 2;
  b[7] = 2;
  Put16(b, 6 + 6, 32);
  Put32(b, 6 + 8, 40 + 16 + 8);
  Put32(b, 6 + 12, 22);
  Put32(b, 22, 40);
  Put32(b, 26, 2);
  Put32(b, 30, 4);  // colour rows and mask rows
  Put16(b, 34, 1);
  Put16(b, 36, 32);
  for (int i = 0; i < 4; ++i) Put32(b, 62 + 4 * i, 0xFF0000FFu);  // opaque blue
  return b;
}

TEST(LyingHeaders, Icons) {
  testing::EnsureGuiApplication();
  const auto with = [](auto change) {
    std::vector<uint8_t> b = SmallIcon();
    change(b);
    return b;
  };
  const char* invalid = "EInvalidGraphic: Icon image is not valid";
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* outcome;
  } cases[] = {
      {"well formed", SmallIcon(), kOk},
      {"type 0 is accepted", with([](auto& b) { Put16(b, 2, 0); }), kOk},
      {"empty", {}, kReadError},
      {"5 bytes", {0, 0, 1, 0, 1}, kReadError},
      {"type 2 (cursor)", with([](auto& b) { Put16(b, 2, 2); }), invalid},
      {"no images", with([](auto& b) { Put16(b, 4, 0); }), invalid},
      {"65535 entries, one present", with([](auto& b) { Put16(b, 4, 0xFFFF); }), kReadError},
      {"image past the end", with([](auto& b) { Put32(b, 18, 0xFFFFFFF0u); }), kReadError},
      {"image longer than the file", with([](auto& b) { Put32(b, 14, 0xFFFFFFFFu); }), kReadError},
      {"image of 0 bytes", with([](auto& b) { Put32(b, 14, 0); }), invalid},
      {"image header says 65535 wide", with([](auto& b) { Put32(b, 26, 65535); }), invalid},
      {"image header says 4 G colours", with([](auto& b) { Put32(b, 54, 0xFFFFFFFFu); }), invalid},
      {"image one row high", with([](auto& b) { Put32(b, 30, 1); }), invalid},
      {"image bit count 7", with([](auto& b) { Put16(b, 36, 7); }), invalid},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadOutcome<TIcon>(c.bytes), c.outcome) << c.what;

  // The missing mask of a fixture cut short leaves the pixels opaque.
  std::vector<uint8_t> no_mask = SmallIcon();
  no_mask.resize(no_mask.size() - 8);
  Put32(no_mask, 14, 40 + 16);
  TIcon icon;
  testing::ReadBytes(icon, no_mask);
  EXPECT_EQ(icon.Image().pixel(1, 1), 0xFF0000FFu);
}

// An enhanced metafile: header record of 88 bytes, one rectangle, the end record.
std::vector<uint8_t> SmallEmf() {
  std::vector<uint8_t> b(88 + 24 + 20, 0);
  Put32(b, 0, 1);
  Put32(b, 4, 88);
  Put32(b, 16, 9);  // bounds 0,0 - 9,9
  Put32(b, 20, 9);
  Put32(b, 32, 264);  // frame in 0.01 mm: 10 pixels at 96 per inch
  Put32(b, 36, 264);
  std::memcpy(b.data() + 40, " EMF", 4);
  Put32(b, 44, 0x10000);
  Put32(b, 48, static_cast<uint32_t>(b.size()));
  Put32(b, 52, 3);
  Put16(b, 56, 1);
  Put32(b, 72, 96);
  Put32(b, 76, 96);
  Put32(b, 80, 254);
  Put32(b, 84, 254);
  Put32(b, 88, 43);  // rectangle
  Put32(b, 92, 24);
  Put32(b, 104, 10);
  Put32(b, 108, 10);
  Put32(b, 112, 14);  // end of file
  Put32(b, 116, 20);
  return b;
}

// A placeable Windows metafile: 22-byte header, 18-byte header, a rectangle, the end.
std::vector<uint8_t> SmallWmf() {
  std::vector<uint8_t> b(22 + 18 + 14 + 6, 0);
  Put32(b, 0, 0x9AC6CDD7u);
  Put16(b, 10, 100);
  Put16(b, 12, 50);
  Put16(b, 14, 96);
  uint16_t checksum = 0;
  for (int i = 0; i < 10; ++i) checksum ^= static_cast<uint16_t>(b[2 * i] | (b[2 * i + 1] << 8));
  Put16(b, 20, checksum);
  Put16(b, 22, 1);
  Put16(b, 24, 9);
  Put16(b, 26, 0x300);
  Put32(b, 28, static_cast<uint32_t>((b.size() - 22) / 2));
  Put32(b, 40, 7);  // rectangle: 7 words
  Put16(b, 44, 0x041B);
  Put16(b, 46, 50);
  Put16(b, 48, 100);
  Put32(b, 54, 3);  // end
  return b;
}

TEST(LyingHeaders, Metafiles) {
  testing::EnsureGuiApplication();
  const char* invalid = "EInvalidGraphic: Metafile is not valid";
  const auto emf = [](auto change) {
    std::vector<uint8_t> b = SmallEmf();
    change(b);
    return b;
  };
  const auto wmf = [](auto change) {
    std::vector<uint8_t> b = SmallWmf();
    change(b);
    return b;
  };
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* outcome;
  } cases[] = {
      {"enhanced", SmallEmf(), kOk},
      {"placeable", SmallWmf(), kOk},
      {"empty", {}, invalid},
      {"enhanced, total past the end", emf([](auto& b) { Put32(b, 48, 0xFFFFFFFFu); }), kReadError},
      {"enhanced, header record of 4 GB", emf([](auto& b) { Put32(b, 4, 0xFFFFFFF0u); }), invalid},
      {"enhanced, header record of 8 bytes", emf([](auto& b) { Put32(b, 4, 8); }), invalid},
      {"enhanced, record of 0 bytes", emf([](auto& b) { Put32(b, 92, 0); }), invalid},
      {"enhanced, record past the end", emf([](auto& b) { Put32(b, 92, 4000); }), invalid},
      {"enhanced, no end record", emf([](auto& b) { Put32(b, 112, 43); }), invalid},
      {"enhanced, description of 2 G characters", emf([](auto& b) {
         Put32(b, 60, 0x7FFFFFFFu);
         Put32(b, 64, 88);
       }),
       invalid},
      {"enhanced, only 100 bytes", emf([](auto& b) {
         b.resize(100);
         Put32(b, 48, 100);
       }),
       invalid},
      {"placeable, wrong key", wmf([](auto& b) { b[0] ^= 1; }), invalid},
      {"placeable, wrong checksum", wmf([](auto& b) { b[20] ^= 1; }), invalid},
      {"placeable, 21 bytes", wmf([](auto& b) { b.resize(21); }), invalid},
      {"placeable, no metafile header", wmf([](auto& b) { b.resize(30); }), invalid},
      {"placeable, record of 4 G words", wmf([](auto& b) { Put32(b, 40, 0xFFFFFFFFu); }), invalid},
      {"placeable, record of 0 words", wmf([](auto& b) { Put32(b, 40, 0); }), invalid},
      // Counts the file's size cannot hold.
      {"enhanced, 2^32 - 1 records", emf([](auto& b) { Put32(b, 52, 0xFFFFFFFFu); }), invalid},
      {"enhanced, more object slots than records", emf([](auto& b) { Put16(b, 56, 4); }), invalid},
      {"placeable, 65535 objects", wmf([](auto& b) { Put16(b, 32, 0xFFFF); }), invalid},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadOutcome<TMetafile>(c.bytes), c.outcome) << c.what;
}

// Records whose contents lie are skipped when played; the others still draw.
TEST(LyingHeaders, MetafileRecordsThatLieAreSkipped) {
  testing::EnsureGuiApplication();
  std::vector<uint8_t> b = SmallEmf();
  // Insert a polygon claiming 2^30 points in front of the rectangle.
  std::vector<uint8_t> polygon(28 + 8, 0);
  Put32(polygon, 0, 3);
  Put32(polygon, 4, static_cast<uint32_t>(polygon.size()));
  Put32(polygon, 24, 1u << 30);
  b.insert(b.begin() + 88, polygon.begin(), polygon.end());
  Put32(b, 48, static_cast<uint32_t>(b.size()));
  TMetafile metafile;
  testing::ReadBytes(metafile, b);
  EXPECT_EQ(metafile.Width(), 10);
  const QImage box = testing::Render(21, 21, 0xFF00FF00u, [&](TCanvas& canvas) {
    metafile.DrawInto(canvas, TRect{0, 0, 21, 21});
  });
  EXPECT_EQ(box.pixel(10, 10), qRgb(255, 255, 255))
      << "the rectangle, white with the default brush";
}

TEST(LyingHeaders, PngOverTheBudgetIsOutOfMemory) {
  testing::EnsureGuiApplication();
  // Signature and an IHDR of 60000 x 60000 (CRC left wrong: the size is refused first).
  std::vector<uint8_t> b = {0x89, 'P',  'N', 'G', '\r', '\n', 0x1A, '\n', 0,    0, 0,
                            13,   'I',  'H', 'D', 'R',  0,    0,    0xEA, 0x60, 0, 0,
                            0xEA, 0x60, 8,   2,   0,    0,    0,    0,    0,    0, 0};
  const std::string outcome = ReadOutcome<TPNGPicture>(b);
  EXPECT_TRUE(outcome == kOutOfMemory || outcome.rfind("EPNGError", 0) == 0) << outcome;
  EXPECT_EQ(ReadOutcome<TPNGPicture>({}).rfind("EPNGError: Invalid operation in GDI+ (Code: ", 0),
            0u);
}

TEST(LyingHeaders, PngChunkLongerThanTheFileIsRefused) {
  testing::EnsureGuiApplication();
  // A 32 x 32 IHDR, then a text chunk claiming 4 GB in a file of 70 bytes: the
  // reader must fail without allocating what the chunk claims.
  std::vector<uint8_t> b = {0x89, 'P',  'N',  'G',  '\r', '\n', 0x1A, '\n', 0,    0,    0,
                            13,   'I',  'H',  'D',  'R',  0,    0,    0,    32,   0,    0,
                            0,    32,   1,    0,    0,    0,    0,    0x5B, 0x01, 0x47, 0x59,
                            0xFA, 0xC8, 0x21, 0x4E, 'z',  'T',  'X',  't'};
  b.resize(70, 0);
  EXPECT_EQ(ReadOutcome<TPNGPicture>(b).rfind("EPNGError", 0), 0u) << ReadOutcome<TPNGPicture>(b);
}

// Every picture that reads its file whole refuses one larger than the budget
// for its pixels plus the same margin, before reading it; up to there the
// bytes are read and judged by the picture class.
TEST(LyingHeaders, FilesPastTheBudgetAndItsMarginAreRefusedWhole) {
  testing::EnsureGuiApplication();
  SetPictureBudgetCap(int64_t{1} << 20);
  const int64_t limit = PictureBudget() + kPictureFileMargin;
  const auto outcome = [](TGraphic&& picture, int64_t size) {
    TMemoryStream stream;
    stream.SetSize(size);
    stream.SetPosition(0);
    try {
      picture.ReadFromStream(stream);
      return std::string(kOk);
    } catch (const Exception& e) {
      return std::string(e.ClassName()) + ": " + e.Message();
    }
  };
  const struct {
    const char* what;
    std::string at_the_limit, past_it;
  } cases[] = {
      {"bitmap", outcome(TBitmap(), limit), outcome(TBitmap(), limit + 1)},
      {"icon", outcome(TIcon(), limit), outcome(TIcon(), limit + 1)},
      {"PNG", outcome(TPNGPicture(), limit), outcome(TPNGPicture(), limit + 1)},
      {"metafile", outcome(TMetafile(), limit), outcome(TMetafile(), limit + 1)},
  };
  SetPictureBudgetCap(0);
  for (const auto& c : cases) {
    EXPECT_NE(c.at_the_limit, kOutOfMemory) << c.what;
    EXPECT_EQ(c.past_it, kOutOfMemory) << c.what;
  }
}

}  // namespace
}  // namespace qv
