// Drawing a JPEG picture into a box smaller than itself: the scale chosen at
// the edges, what a picture that fits its box draws (the full decode, pixel
// for pixel), how close a scaled decode comes to the full decode stretched,
// the errors of the first draw, and a file whose data ends long before the
// size its header claims.
#include <unistd.h>

#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "conversion/jpeg_codec.h"
#include "conversion/jpeg_display_scale.h"
#include "graphics/canvas.h"
#include "tests/conversion/jpeg/jpeg_test_support.h"

namespace qv {
namespace {

using testing_jpeg::Capture;
using testing_jpeg::CorpusFile;
using testing_jpeg::JpegErrorOf;
using testing_jpeg::LoadBytes;
using testing_jpeg::ReadAll;
using testing_jpeg::SettingsGuard;
using testing_support::WithClaimedSize;

// A scratch folder of this test process, removed at the end.
class Scratch {
 public:
  Scratch() : dir_("/tmp/qv_display_" + std::to_string(getpid())) {
    std::system(("mkdir -p '" + dir_ + "'").c_str());
  }
  ~Scratch() { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
};

// cjpeg of the decoded test picture with extra options (sampling, coding).
std::string Cjpeg(const Scratch& scratch, const std::string& options) {
  const std::string ppm = scratch.Path("orig.ppm");
  if (access(ppm.c_str(), R_OK) != 0) {
    std::system(
        ("djpeg -pnm '" + CorpusFile("good/large-pil-photo-2000x1072.jpg") + "' >'" + ppm + "'")
            .c_str());
  }
  return Capture("cjpeg " + options + " '" + ppm + "'");
}

// What a box of width x height shows of a picture drawn the way it is now.
QImage Drawn(TJPEGImage& picture, int width, int height) {
  QImage box(width, height, QImage::Format_RGB32);
  box.fill(Qt::magenta);
  QPainter painter(&box);
  TCanvas canvas(painter);
  picture.DrawInto(canvas, TRect{0, 0, width, height});
  return box;
}

// What the box showed before pictures were decoded for it: the full decode
// stretched into it.
QImage DrawnFull(TJPEGImage& picture, int width, int height) {
  QImage box(width, height, QImage::Format_RGB32);
  box.fill(Qt::magenta);
  QPainter painter(&box);
  TCanvas canvas(painter);
  canvas.StretchDraw(TRect{0, 0, width, height}, picture.DecodedBitmap());
  return box;
}

// Mean absolute difference per channel, over every pixel of two boxes.
double MeanDifference(const QImage& a, const QImage& b) {
  EXPECT_EQ(a.size(), b.size());
  double sum = 0;
  for (int y = 0; y < a.height(); ++y) {
    const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
    const auto* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
    for (int x = 0; x < a.width(); ++x) {
      sum += std::abs(qRed(p[x]) - qRed(q[x])) + std::abs(qGreen(p[x]) - qGreen(q[x])) +
             std::abs(qBlue(p[x]) - qBlue(q[x]));
    }
  }
  return sum / (3.0 * a.width() * a.height());
}

TEST(JpegDisplayTest, SmallestEighthThatCoversTheBox) {
  struct Case {
    int width, height, box_width, box_height, eighths;
  } cases[] = {
      {800, 600, 200, 150, 2},  // exactly a quarter
      {800, 600, 201, 150, 3},  // one more column
      {800, 600, 200, 151, 3},  // one more row
      {800, 600, 199, 149, 2},  // one less
      {800, 600, 100, 75, 1},      {800, 600, 101, 75, 2},
      {800, 600, 1, 1, 1},         {800, 600, 700, 525, 7},
      {800, 600, 701, 10, 8},  // no eighth covers it
      {800, 600, 800, 10, 8},  // as wide as the picture
      {800, 600, 10, 600, 8},      {800, 600, 900, 900, 8},
      {801, 601, 201, 151, 2},                       // rounded up, a quarter of 801 is 201
      {801, 601, 202, 151, 3},     {5, 3, 4, 2, 5},  // tiny: 5/8 of 5 x 3 rounds up to 4 x 2
      {30000, 30000, 309, 221, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(jpeg::DisplayEighths(c.width, c.height, c.box_width, c.box_height), c.eighths)
        << c.width << "x" << c.height << " into " << c.box_width << "x" << c.box_height;
  }
}

// The scale chosen is what libjpeg then makes: a bitmap that covers the box,
// where the next smaller scale would not.
TEST(JpegDisplayTest, ScaledBitmapCoversTheBoxAtTheEdges) {
  const std::string bytes = ReadAll(CorpusFile("good/ljt-testorig.jpg"));  // 227 x 149
  const int w = 227, h = 149;
  const int quarter_w = static_cast<int>(jpeg::ScaledSide(w, 2));
  const int quarter_h = static_cast<int>(jpeg::ScaledSide(h, 2));
  struct Case {
    int box_width, box_height, eighths;
  } cases[] = {
      {quarter_w, quarter_h, 2},
      {quarter_w + 1, quarter_h, 3},
      {quarter_w, quarter_h + 1, 3},
      {quarter_w - 1, quarter_h - 1, 2},
      {1, 1, 1},
      {w - 1, h - 1, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.box_width) + "x" + std::to_string(c.box_height));
    TJPEGImage picture;
    LoadBytes(picture, bytes);
    ASSERT_EQ(picture.Width(), w);
    const TBitmap& shown = picture.DisplayBitmap(c.box_width, c.box_height);
    EXPECT_EQ(shown.Width(), jpeg::ScaledSide(w, c.eighths));
    EXPECT_EQ(shown.Height(), jpeg::ScaledSide(h, c.eighths));
    EXPECT_GE(shown.Width(), c.box_width);
    EXPECT_GE(shown.Height(), c.box_height);
    // The full decode is made only for a box that needs all of it.
    EXPECT_EQ(picture.HasBitmap(), c.eighths == 8);
    // The picture still is its full size.
    EXPECT_EQ(picture.Width(), w);
    EXPECT_EQ(picture.Height(), h);
  }
}

// A box as large as the picture, in either direction, shows the full decode
// exactly as before.
TEST(JpegDisplayTest, PictureThatFitsItsBoxDrawsAsBefore) {
  SettingsGuard guard;
  const char* const files[] = {"good/ljt-testorig.jpg", "good/ljt-testimgp.jpg",
                               "good/ljt-testimggray.jpg", "good/jpegsuite-arith-ycbcr.jpg"};
  for (const TJPEGPixelFormat depth : {od24Bit, od8Bit}) {
    DefaultJPEGSettings.OutputDepth = depth;
    for (const char* file : files) {
      const std::string bytes = ReadAll(CorpusFile(file));
      TJPEGImage probe;
      LoadBytes(probe, bytes);
      const int w = probe.Width(), h = probe.Height();
      const std::pair<int, int> boxes[] = {{w, h}, {w + 37, h + 20}, {w, h / 3}, {w / 3, h}};
      for (const auto& [bw, bh] : boxes) {
        SCOPED_TRACE(std::string(file) + " into " + std::to_string(bw) + "x" + std::to_string(bh) +
                     (depth == od8Bit ? ", 8-bit" : ""));
        TJPEGImage now, before;
        LoadBytes(now, bytes);
        LoadBytes(before, bytes);
        EXPECT_EQ(Drawn(now, bw, bh), DrawnFull(before, bw, bh));
        EXPECT_TRUE(now.HasBitmap());
      }
    }
  }
}

// A scaled decode drawn into a box a third of the picture's size against the
// full decode stretched into it. The measure is the mean absolute difference
// per channel over the box (0..255): nearest-neighbour picks one pixel of
// each 3 x 3, the scaled decode shows their mean, so the two differ by the
// picture's fine detail, which photos keep small: below 10 on a photo of
// 2000 x 1072 pixels.
TEST(JpegDisplayTest, ScaledDecodeDrawsCloseToTheFullDecode) {
  SettingsGuard guard;
  // About 6.5 measured at 24 bits, 8.4 at 8 bits, where the dithering differs.
  constexpr double kBound = 10.0;
  Scratch scratch;
  struct Case {
    std::string what;
    std::string bytes;
  };
  std::vector<Case> cases = {
      {"4:2:0", Cjpeg(scratch, "-quality 92 -sample 2x2")},
      {"4:2:2", Cjpeg(scratch, "-quality 92 -sample 2x1")},
      {"4:4:4", Cjpeg(scratch, "-quality 92 -sample 1x1")},
      {"progressive", Cjpeg(scratch, "-quality 92 -progressive")},
      {"arithmetic", Cjpeg(scratch, "-quality 92 -arithmetic")},
      {"grayscale", Cjpeg(scratch, "-quality 92 -grayscale")},
      {"restarts", Cjpeg(scratch, "-quality 92 -restart 2")},
      {"progressive grayscale", Cjpeg(scratch, "-quality 92 -grayscale -progressive")},
  };
  for (const TJPEGPixelFormat depth : {od24Bit, od8Bit}) {
    DefaultJPEGSettings.OutputDepth = depth;
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what + (depth == od8Bit ? ", 8-bit" : ", 24-bit"));
      ASSERT_FALSE(c.bytes.empty());
      TJPEGImage scaled, full;
      LoadBytes(scaled, c.bytes);
      LoadBytes(full, c.bytes);
      const int bw = scaled.Width() / 3, bh = scaled.Height() / 3;
      const QImage shown = Drawn(scaled, bw, bh);
      EXPECT_FALSE(scaled.HasBitmap());
      const TBitmap& bitmap = scaled.DisplayBitmap(bw, bh);
      EXPECT_LT(bitmap.Width(), scaled.Width());
      const bool gray = c.what.find("grayscale") != std::string::npos;
      if (depth == od8Bit || gray) {
        // Grey, and colour on an 8-bit screen, come with a palette of at most
        // 236 entries, made for the picture at this scale.
        ASSERT_EQ(bitmap.PixelFormat(), pf8bit);
        ASSERT_TRUE(bitmap.Palette());
        EXPECT_LE(bitmap.Palette()->Entries.size(), 236u);
        if (gray) {
          for (const QRgb entry : bitmap.Palette()->Entries) {
            EXPECT_TRUE(qRed(entry) == qGreen(entry) && qGreen(entry) == qBlue(entry));
          }
        }
      } else {
        EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
      }
      const double difference = MeanDifference(shown, DrawnFull(full, bw, bh));
      EXPECT_LT(difference, kBound);
      RecordProperty(c.what + (depth == od8Bit ? "_8bit" : "_24bit"), std::to_string(difference));
    }
  }
}

// The display bitmap is made once for a box size; a box that needs another
// scale decodes again, and a full decode, once made, serves every box.
TEST(JpegDisplayTest, DisplayBitmapIsKeptPerScale) {
  TJPEGImage picture;
  LoadBytes(picture, ReadAll(CorpusFile("good/large-pil-photo-2000x1072.jpg")));
  int decodes = 0;
  picture.OnProgress = [&](TPersistent*, TProgressStage stage, int, bool, const TRect&,
                           const std::string&) {
    if (stage == psStarting) ++decodes;
  };
  const TBitmap* first = &picture.DisplayBitmap(309, 221);
  EXPECT_EQ(first->Width(), 500);  // 1/8 is 134 rows high, 2/8 covers 221
  EXPECT_EQ(&picture.DisplayBitmap(309, 221), first);
  EXPECT_EQ(&picture.DisplayBitmap(300, 200), first);  // the same scale
  EXPECT_EQ(decodes, 1);
  EXPECT_EQ(picture.DisplayBitmap(600, 400).Width(), 750);  // 3/8
  EXPECT_EQ(decodes, 2);
  const TBitmap* full = &picture.DecodedBitmap();
  EXPECT_EQ(decodes, 3);
  EXPECT_EQ(&picture.DisplayBitmap(309, 221), full);
  EXPECT_EQ(decodes, 3);
}

// The errors of a first draw into a small box are those of the full decode,
// at the same moment, and a second draw raises none.
TEST(JpegDisplayTest, DamagedDataFailsAsBefore) {
  const std::string progressive = ReadAll(CorpusFile("good/ljt-testimgp.jpg"));
  // The second scan's spectral selection made impossible (start past end).
  std::string bad_scan = progressive;
  {
    size_t sos = bad_scan.find("\xFF\xDA");
    sos = bad_scan.find("\xFF\xDA", sos + 2);
    ASSERT_NE(sos, std::string::npos);
    const size_t components = static_cast<uint8_t>(bad_scan[sos + 4]);
    bad_scan[sos + 5 + 2 * components] = 40;      // Ss
    bad_scan[sos + 5 + 2 * components + 1] = 10;  // Se
  }
  std::string bad_marker = ReadAll(CorpusFile("good/ljt-testorig.jpg"));
  bad_marker.replace(bad_marker.size() / 2, 2, "\xFF\x4F");
  const std::string huge =
      ReadAll(std::string(QUORVANE_SOURCE_DIR) + "/fuzz/seeds/jpeg/huge-baseline-65500x65500.jpg");
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"bad progression", bad_scan},
      {"unknown marker", bad_marker},
      {"65500 x 65500", huge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TJPEGImage small, full;
    LoadBytes(small, c.bytes);
    LoadBytes(full, c.bytes);
    const int expected = JpegErrorOf([&] { DrawnFull(full, 300, 200); });
    EXPECT_NE(expected, 0);
    EXPECT_EQ(JpegErrorOf([&] { Drawn(small, 30, 20); }), expected);
    EXPECT_EQ(JpegErrorOf([&] { Drawn(small, 30, 20); }), 0);
    EXPECT_EQ(JpegErrorOf([&] { Drawn(small, 60, 40); }), 0);  // another box: no new decode
    EXPECT_EQ(small.Width(), full.Width());
    EXPECT_EQ(small.Height(), full.Height());
  }
}

// A header that claims far more pixels than the data holds. The part of the
// box past the data is the fill the full decode shows, and the decode at the
// box's scale is the library's own to the pixel, though rows past the data
// are copied rather than decoded.
TEST(JpegDisplayTest, DataEndingLongBeforeTheClaimedSizeShowsTheSameFill) {
  Scratch scratch;
  const std::string small =
      Capture("djpeg -scale 1/8 -pnm '" + CorpusFile("good/large-pil-photo-2000x1072.jpg") +
              "' | cjpeg -quality 90");  // 250 x 134
  ASSERT_FALSE(small.empty());
  // 3000 x 3000 still decodes in full quickly: the comparison with before.
  {
    const std::string bytes = WithClaimedSize(small, 3000, 3000);
    ASSERT_NE(bytes, small);
    TJPEGImage now, before;
    LoadBytes(now, bytes);
    LoadBytes(before, bytes);
    const QImage shown = Drawn(now, 309, 221);
    const QImage was = DrawnFull(before, 309, 221);
    EXPECT_FALSE(now.HasBitmap());
    EXPECT_LT(MeanDifference(shown, was), 8.0);
    // Below the first rows of blocks the box is all fill, as before.
    const QImage fill_now = shown.copy(0, 40, 309, 181);
    const QImage fill_was = was.copy(0, 40, 309, 181);
    EXPECT_EQ(fill_now, fill_was);
    EXPECT_EQ(fill_now.pixel(150, 100), qRgb(128, 128, 128));
  }
  // 30000 x 30000: against djpeg at the same scale, which decodes every row.
  {
    const std::string path = scratch.Path("claims-30000.jpg");
    const std::string bytes = WithClaimedSize(small, 30000, 30000);
    std::ofstream(path, std::ios::binary) << bytes;
    TJPEGImage picture;
    LoadBytes(picture, bytes);
    EXPECT_EQ(picture.Width(), 30000);
    const QImage shown = Drawn(picture, 309, 221);
    const TBitmap& bitmap = picture.DisplayBitmap(309, 221);
    ASSERT_EQ(bitmap.Width(), 3750);
    const testing_jpeg::TRgbImage reference = testing_jpeg::Djpeg(path, "-scale 1/8");
    EXPECT_TRUE(testing_jpeg::SamePixels(reference, testing_jpeg::ToRgb(bitmap)));
    EXPECT_EQ(shown.pixel(300, 200), qRgb(128, 128, 128));
  }
}

}  // namespace
}  // namespace qv
