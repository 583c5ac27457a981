// The JPEG picture's own rules: loading, the error codes, sharing, writing,
// progress notices, palettes and bitmap copies.
#include <gtest/gtest.h>
#include <atomic>

#include <QImage>
#include <QPainter>

#include "base/exceptions.h"
#include "base/streams.h"
#include "conversion/jpeg_codec.h"
#include "conversion/jpeg_image.h"
#include "graphics/canvas.h"
#include "graphics/screen.h"
#include "jpeg_test_support.h"

namespace qv {
namespace {

using namespace qv::testing_jpeg;

const std::string kTestOrig = "good/ljt-testorig.jpg";  // 227 x 149, colour

struct TNotice {
  TProgressStage stage;
  int percent;
  bool redraw;
};

TEST(JpegImageTest, NewPictureIsEmptyAndWritesNothing) {
  TJPEGImage picture;
  EXPECT_TRUE(picture.IsEmpty());
  EXPECT_EQ(picture.Width(), 0);
  EXPECT_EQ(picture.Height(), 0);
  EXPECT_EQ(picture.SharedData().ShareCount(), 1);
  EXPECT_EQ(JpegErrorOf([&] { picture.DecodedBitmap(); }), 0);
  EXPECT_TRUE(picture.DecodedBitmap().IsEmpty());
  EXPECT_EQ(Written(picture), "");
}

TEST(JpegImageTest, EmptyStreamLoadsAndFailsOnlyAtTheFirstDraw) {
  TJPEGImage picture;
  LoadBytes(picture, "");
  EXPECT_FALSE(picture.IsEmpty());
  EXPECT_EQ(picture.Width(), 0);
  EXPECT_EQ(Written(picture), "");
  QImage target(4, 4, QImage::Format_RGB32);
  QPainter painter(&target);
  TCanvas canvas(painter);
  EXPECT_EQ(JpegErrorOf([&] { picture.DrawInto(canvas, TRect{0, 0, 4, 4}); }), 42);
  EXPECT_EQ(JpegErrorOf([&] { picture.DrawInto(canvas, TRect{0, 0, 4, 4}); }), 0);
}

TEST(JpegImageTest, HeaderErrorCodes) {
  const std::string orig = ReadAll(CorpusFile(kTestOrig));
  struct Case {
    const char* what;
    std::string bytes;
    int code;
  } cases[] = {
      {"GIF start", "GIF89a\x01\x00\x01\x00", 53},
      {"PNG start", "\x89PNG\r\n\x1a\n", 53},
      {"single 0xFF", "\xFF", 53},
      {"SOI only", "\xFF\xD8", 51},
      {"SOI, EOI", "\xFF\xD8\xFF\xD9", 51},
      {"cut after the frame header", orig.substr(0, 177), 59},
      {"whole file", orig, 0},
  };
  for (const auto& c : cases) {
    TJPEGImage picture;
    EXPECT_EQ(JpegErrorOf([&] { LoadBytes(picture, c.bytes); }), c.code) << c.what;
    EXPECT_EQ(Written(picture), c.bytes) << c.what;
  }
}

TEST(JpegImageTest, FailedLoadKeepsBytesButNoHeaderFactsOrProgressiveChange) {
  TJPEGImage picture;
  picture.ReadFromFile(CorpusFile("good/ljt-testimgp.jpg"));
  ASSERT_TRUE(picture.Progressive());
  ASSERT_EQ(picture.Width(), 227);
  EXPECT_EQ(JpegErrorOf([&] { LoadBytes(picture, "\xFF\xD8"); }), 51);
  EXPECT_TRUE(picture.Progressive()) << "kept from the previous load";
  EXPECT_EQ(picture.Width(), 0);
  EXPECT_FALSE(picture.IsEmpty());
}

TEST(JpegImageTest, CopiesShareBytesAndOutliveTheSource) {
  const std::string bytes = ReadAll(CorpusFile(kTestOrig));
  TJPEGImage target;
  const TJPEGData* data;
  {
    TJPEGImage source;
    LoadBytes(source, bytes);
    source.DecodedBitmap();
    target.AssignFrom(&source);
    data = &source.SharedData();
    EXPECT_EQ(&target.SharedData(), data);
    EXPECT_EQ(data->ShareCount(), 2);
    EXPECT_TRUE(target.HasBitmap()) << "the decoded bitmap is copied";
    EXPECT_TRUE(target.SameAs(&source));
  }
  EXPECT_EQ(data->ShareCount(), 1);
  EXPECT_EQ(Written(target), bytes);
  EXPECT_EQ(target.Width(), 227);
}

TEST(JpegImageTest, CopyOfAnUndecodedPictureDropsTheOldBitmap) {
  TJPEGImage a, b;
  a.ReadFromFile(CorpusFile(kTestOrig));
  b.ReadFromFile(CorpusFile("good/ljt-testimggray.jpg"));
  b.DecodedBitmap();
  b.AssignFrom(&a);
  EXPECT_FALSE(b.HasBitmap()) << "the old bitmap would show the other picture";
  EXPECT_EQ(b.DecodedBitmap().PixelFormat(), pf24bit);
}

TEST(JpegImageTest, SameAsComparesBytesOrSharedData) {
  const std::string bytes = ReadAll(CorpusFile(kTestOrig));
  TJPEGImage a, b, c, fresh1, fresh2;
  LoadBytes(a, bytes);
  LoadBytes(b, bytes);
  LoadBytes(c, bytes.substr(0, bytes.size() - 1));
  EXPECT_TRUE(a.SameAs(&b));
  EXPECT_FALSE(a.SameAs(&c));
  EXPECT_FALSE(fresh1.SameAs(&fresh2)) << "no bytes and different data objects";
  fresh2.AssignFrom(&fresh1);
  EXPECT_TRUE(fresh1.SameAs(&fresh2));
  TBitmap bitmap;
  EXPECT_FALSE(fresh1.SameAs(&bitmap));
}

TEST(JpegImageTest, StreamsAreReadFromAndWrittenAtTheirPosition) {
  const std::string bytes = ReadAll(CorpusFile(kTestOrig));
  TMemoryStream in;
  in.WriteBuffer("junk", 4);
  in.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  in.SetPosition(4);
  TJPEGImage picture;
  picture.ReadFromStream(in);
  EXPECT_EQ(Written(picture), bytes);

  TMemoryStream out;
  out.WriteBuffer("0123456789", 10);
  out.SetPosition(3);
  picture.WriteToStream(out);
  EXPECT_EQ(out.Position(), 3 + static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.Memory()), 3), "012");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.Memory()) + 3, bytes.size()), bytes);

  TMemoryStream longer;
  longer.WriteBuffer(std::string(bytes.size() + 100, 'x').data(),
                     static_cast<int64_t>(bytes.size() + 100));
  longer.SetPosition(0);
  picture.WriteToStream(longer);
  EXPECT_EQ(longer.Size(), static_cast<int64_t>(bytes.size() + 100)) << "not truncated";
}

TEST(JpegImageTest, FormDataIsCountThenBytes) {
  const std::string bytes = ReadAll(CorpusFile(kTestOrig));
  TJPEGImage picture, back;
  LoadBytes(picture, bytes);
  TMemoryStream form;
  picture.WriteFormData(form);
  ASSERT_EQ(form.Size(), static_cast<int64_t>(bytes.size() + 4));
  EXPECT_EQ(form.Memory()[0] | (form.Memory()[1] << 8), static_cast<int>(bytes.size()));
  form.SetPosition(0);
  back.ReadFormData(form);
  EXPECT_EQ(Written(back), bytes);
  EXPECT_EQ(back.Height(), 149);
  TMemoryStream empty_form;
  TJPEGImage fresh;
  fresh.WriteFormData(empty_form);
  EXPECT_EQ(empty_form.Size(), 4);
  EXPECT_FALSE(fresh.StoresFormData(nullptr));
  EXPECT_TRUE(picture.StoresFormData(nullptr));
}

TEST(JpegImageTest, SizeCannotBeChanged) {
  TJPEGImage picture;
  picture.ReadFromFile(CorpusFile(kTestOrig));
  for (auto change : {+[](TJPEGImage& p) { p.SetWidth(5); }, +[](TJPEGImage& p) { p.SetHeight(5); },
                      +[](TJPEGImage& p) { p.SetDimensions(5, 5); }}) {
    try {
      change(picture);
      ADD_FAILURE() << "no error";
    } catch (const EInvalidGraphicOperation& e) {
      EXPECT_EQ(e.Message(), "Cannot change the size of a JPEG image");
    }
  }
  EXPECT_EQ(picture.Width(), 227);
  EXPECT_EQ(picture.Height(), 149);
}

TEST(JpegImageTest, AssignIntoBitmapAndRefusedClasses) {
  TJPEGImage picture;
  picture.ReadFromFile(CorpusFile(kTestOrig));
  TBitmap bitmap;
  picture.AssignInto(bitmap);
  EXPECT_EQ(bitmap.Width(), 227);
  EXPECT_TRUE(SamePixels(ToRgb(picture.DecodedBitmap()), ToRgb(bitmap)));
  TJPEGImage other;
  try {
    bitmap.AssignInto(other);  // the bitmap knows no JPEG target...
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TBitmap to a TJPEGImage");
  }
  other.AssignFrom(&bitmap);  // ...but the JPEG picture takes a bitmap
  EXPECT_EQ(other.Width(), 227);
  try {
    other.AssignFrom(nullptr);
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a nil to a TJPEGImage");
  }
}

TEST(JpegImageTest, BitmapOnlyPictureIsEncodedWhenWritten) {
  TJPEGImage source;
  source.ReadFromFile(CorpusFile(kTestOrig));
  TBitmap bitmap;
  bitmap.AssignFrom(&source.DecodedBitmap());
  TJPEGImage picture;
  picture.AssignFrom(&bitmap);
  EXPECT_FALSE(picture.IsEmpty());
  EXPECT_FALSE(picture.SharedData().HasBytes());
  const std::string written = Written(picture);
  ASSERT_GT(written.size(), 100u);
  EXPECT_EQ(written.substr(0, 2), "\xFF\xD8");
  EXPECT_EQ(picture.SharedData().Width(), 227);
  // The encoded bytes decode to nearly the same picture (quality 90).
  TJPEGImage reread;
  LoadBytes(reread, written);
  EXPECT_FALSE(reread.Progressive()) << "baseline";
  EXPECT_TRUE(SamePixels(ToRgb(source.DecodedBitmap()), ToRgb(reread.DecodedBitmap()), 48));
}

TEST(JpegImageTest, DecodeNoticesStartAndEnd) {
  TJPEGImage picture;
  picture.ReadFromFile(CorpusFile(kTestOrig));
  std::vector<TNotice> notices;
  picture.OnProgress = [&](TPersistent* sender, TProgressStage stage, int percent, bool redraw,
                           const TRect&, const std::string& msg) {
    EXPECT_EQ(sender, &picture);
    EXPECT_EQ(msg, "");
    notices.push_back({stage, percent, redraw});
  };
  picture.DecodedBitmap();
  ASSERT_GE(notices.size(), 2u);
  EXPECT_EQ(notices.front().stage, psStarting);
  EXPECT_EQ(notices.front().percent, 0);
  EXPECT_EQ(notices.back().stage, psEnding);
  EXPECT_EQ(notices.back().percent, 100);

  TJPEGImage failing;
  failing.ReadFromFile(CorpusFile("bad/ljt-testorig-no-dqt.jpg"));
  notices.clear();
  failing.OnProgress = [&](TPersistent*, TProgressStage stage, int percent, bool redraw,
                           const TRect&, const std::string&) {
    notices.push_back({stage, percent, redraw});
  };
  EXPECT_EQ(JpegErrorOf([&] { failing.DecodedBitmap(); }), 52);
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices.back().stage, psEnding);
  EXPECT_EQ(notices.back().percent, 0);
}

TEST(JpegImageTest, HandlerFailuresCancelOrPropagate) {
  // EAbort from a progress handler cancels quietly; the bitmap stays as far as it got.
  TJPEGImage cancelled;
  cancelled.ReadFromFile(CorpusFile(kTestOrig));
  cancelled.OnProgress = [](TPersistent*, TProgressStage stage, int, bool, const TRect&,
                            const std::string&) {
    if (stage == psStarting) throw EAbort("");
  };
  EXPECT_EQ(JpegErrorOf([&] { cancelled.DecodedBitmap(); }), 0);
  EXPECT_TRUE(cancelled.HasBitmap());

  // Any other failure of a handler reaches the caller unchanged.
  TJPEGImage failing;
  failing.ReadFromFile(CorpusFile(kTestOrig));
  failing.OnProgress = [](TPersistent*, TProgressStage stage, int, bool, const TRect&,
                          const std::string&) {
    if (stage == psStarting) throw EConvertError("stop");
  };
  EXPECT_THROW(failing.DecodedBitmap(), EConvertError);
  EXPECT_EQ(JpegErrorOf([&] { failing.DecodedBitmap(); }), 0) << "cached after the failure";
}

TEST(JpegImageTest, HandlerFailureInsideTheLibraryIsCarriedOut) {
  // A notice from inside libjpeg comes only after 500 ms of decoding; a clock
  // that jumps 600 ms per reading gives one at every chance.
  jpeg::SetProgressClock([] {
    static std::atomic<uint32_t> fake{1};
    return fake.fetch_add(600);
  });
  struct RestoreClock {
    ~RestoreClock() { jpeg::SetProgressClock(nullptr); }
  } restore_clock;
  SettingsGuard guard;
  DefaultJPEGSettings.OutputDepth = od8Bit;
  for (bool abort : {true, false}) {
    TJPEGImage picture;
    picture.ReadFromFile(CorpusFile("good/large-pillars-4096x4096-upscaled.jpg"));
    bool running = false;
    bool ended = false;
    picture.OnProgress = [&](TPersistent*, TProgressStage stage, int percent, bool, const TRect&,
                             const std::string&) {
      if (stage == psEnding) {
        ended = true;
        EXPECT_EQ(percent, 0);
      }
      if (stage != psRunning) return;
      running = true;
      EXPECT_GT(percent, 0);
      EXPECT_LE(percent, 100);
      if (abort) throw EAbort("");
      throw EConvertError("stop");
    };
    if (abort) {
      EXPECT_NO_THROW(picture.DecodedBitmap());
    } else {
      try {
        picture.DecodedBitmap();
      } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "stop");
      }
    }
    EXPECT_TRUE(running);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(picture.HasBitmap());
  }
}

TEST(JpegImageTest, ScreenDepthRuleAndPalettes) {
  SettingsGuard guard;
  SetScreenBitsPerPixelQuery([] { return 8; });
  ApplyScreenDepthRule();
  EXPECT_EQ(DefaultJPEGSettings.OutputDepth, od8Bit);
  TJPEGImage eight;
  EXPECT_EQ(eight.OutputDepth(), od8Bit);
  EXPECT_EQ(eight.PaletteHandle(), nullptr) << "8-bit output makes its palette when decoding";

  SetScreenBitsPerPixelQuery([] { return 32; });
  ApplyScreenDepthRule();
  EXPECT_EQ(DefaultJPEGSettings.OutputDepth, od24Bit);
  TJPEGImage deep;
  EXPECT_EQ(deep.PaletteHandle(), nullptr);

  // 24-bit output on a screen of 8 bits: a halftone palette, made once.
  SetScreenBitsPerPixelQuery([] { return 8; });
  TJPEGImage halftone;
  const TPaletteHandle palette = halftone.PaletteHandle();
  ASSERT_NE(palette, nullptr);
  EXPECT_EQ(palette->Entries.size(), 256u);
  EXPECT_EQ(halftone.PaletteHandle(), palette);
  SetScreenBitsPerPixelQuery(nullptr);
}

TEST(JpegImageTest, GivenPaletteIsUsedFor8BitOutput) {
  SettingsGuard guard;
  DefaultJPEGSettings.OutputDepth = od8Bit;
  TJPEGImage picture;
  picture.ReadFromFile(CorpusFile(kTestOrig));
  const TPaletteHandle palette = MakeHalftonePalette();
  picture.SetPaletteHandle(palette);
  const TBitmap& bitmap = picture.DecodedBitmap();
  EXPECT_EQ(bitmap.Palette(), palette);
  // Every pixel is a colour of the given palette, and the picture still looks like itself.
  TJPEGImage reference;
  DefaultJPEGSettings.OutputDepth = od24Bit;
  reference.ReadFromFile(CorpusFile(kTestOrig));
  EXPECT_TRUE(SamePixels(ToRgb(reference.DecodedBitmap()), ToRgb(bitmap), 160));
  // A different palette drops the bitmap, which is decoded again with it.
  picture.SetPaletteHandle(MakeHalftonePalette());
  EXPECT_FALSE(picture.HasBitmap());
}

TEST(JpegImageTest, SettingsComeFromTheDefaults) {
  SettingsGuard guard;
  DefaultJPEGSettings.SaveQuality = 50;
  DefaultJPEGSettings.BlockSmoothing = false;
  DefaultJPEGSettings.Progressive = true;
  TJPEGImage picture;
  EXPECT_EQ(picture.SaveQuality(), 50);
  EXPECT_FALSE(picture.BlockSmoothing());
  EXPECT_TRUE(picture.Progressive());
  EXPECT_EQ(picture.OutputDepth(), DefaultJPEGSettings.OutputDepth);
  EXPECT_EQ(picture.DecodeScale(), 0);
  EXPECT_FALSE(picture.GrayOutput());
  // Block smoothing shows on a progressive file whose later scans are missing.
  const std::string path = CorpusFile("bad/ljt-testimgp-first-3-scans.jpg");
  picture.ReadFromFile(path);
  DefaultJPEGSettings.BlockSmoothing = true;
  TJPEGImage smoothed;
  smoothed.ReadFromFile(path);
  EXPECT_FALSE(SamePixels(ToRgb(smoothed.DecodedBitmap()), ToRgb(picture.DecodedBitmap())));
  EXPECT_TRUE(SamePixels(Djpeg(path, ""), ToRgb(smoothed.DecodedBitmap())));
}

}  // namespace
}  // namespace qv
