// Picture to hex text and back.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/exceptions.h"
#include "conversion/picture_hex.h"
#include "jpeg_test_support.h"

namespace qv {
namespace {

using namespace qv::testing_jpeg;

TEST(PictureHexTest, PictureToTextIsUpperCasePairs) {
  TJPEGImage empty_block;
  LoadBytes(empty_block, "");
  std::string text = "old";
  JPEGToHex(empty_block, text);
  EXPECT_EQ(text, "");

  TJPEGImage fresh;  // no bytes and no bitmap: writes nothing
  text = "old";
  JPEGToHex(fresh, text);
  EXPECT_EQ(text, "");

  const std::string bytes = ReadAll(CorpusFile("good/jpegsuite-baseline-1x1.jpg"));
  TJPEGImage picture;
  LoadBytes(picture, bytes);
  JPEGToHex(picture, text);
  EXPECT_EQ(text, testing_support::UpperHex(bytes));
}

// A picture whose writing fails halfway.
class TFailingPicture : public TJPEGImage {
 public:
  void WriteToStream(TStream& stream) override {
    stream.WriteBuffer("\xFF\xD8", 2);
    throw EReadError("Stream write error");
  }
};

TEST(PictureHexTest, FailedWriteLeavesTextUnchanged) {
  TFailingPicture picture;
  std::string text = "unchanged";
  EXPECT_THROW(JPEGToHex(picture, text), EReadError);
  EXPECT_EQ(text, "unchanged");
}

// A picture that writes its bytes in uneven pieces, from the position on.
class TPiecewisePicture : public TJPEGImage {
 public:
  void WriteToStream(TStream& stream) override {
    EnsureEncoded();
    const uint8_t* bytes = SharedData().BytesData();
    const int64_t size = SharedData().BytesSize();
    for (int64_t done = 0, piece = 1; done < size; done += piece, piece = piece * 3 + 1) {
      piece = std::min(piece, size - done);
      EXPECT_EQ(stream.Position(), done);
      stream.WriteBuffer(bytes + done, piece);
    }
  }
};

TEST(PictureHexTest, TextIsWhatThePictureWritesEvenInPieces) {
  const std::string bytes = ReadAll(CorpusFile("good/ljt-testorig.jpg"));
  TJPEGImage whole;
  LoadBytes(whole, bytes);
  std::string expected;
  JPEGToHex(whole, expected);
  TPiecewisePicture pieces;
  LoadBytes(pieces, bytes);
  std::string text = "old";
  JPEGToHex(pieces, text);
  EXPECT_EQ(text, expected);
  EXPECT_EQ(text.size(), 2 * bytes.size());
}

TEST(PictureHexTest, BitmapOnlyPictureIsEncodedFirst) {
  TJPEGImage source;
  source.ReadFromFile(CorpusFile("good/ljt-testorig.jpg"));
  TJPEGImage picture;
  picture.AssignFrom(&source.DecodedBitmap());
  std::string text;
  JPEGToHex(picture, text);
  EXPECT_EQ(text.substr(0, 4), "FFD8");
  EXPECT_EQ(text.size(), 2 * static_cast<size_t>(picture.SharedData().BytesSize()));
}

TEST(PictureHexTest, TextToPictureCases) {
  const std::string jpeg_hex = [] {
    const std::string bytes = ReadAll(CorpusFile("good/ljt-testorig.jpg"));
    TJPEGImage p;
    LoadBytes(p, bytes);
    std::string t;
    JPEGToHex(p, t);
    return t;
  }();
  std::string lower = jpeg_hex;
  for (char& c : lower) c = static_cast<char>(tolower(c));

  struct Case {
    const char* what;
    std::string text;
    int error;          // JPEG error code expected from the header read, 0 none
    std::string bytes;  // what the picture then holds
  } cases[] = {
      {"empty text", "", 0, ""},
      {"odd length", "FFD8F", 51, "\xFF\xD8"},
      {"not a JPEG start", "4749463839", 53, "GIF89"},
      {"no pair at all", "zz", 53, std::string(1, '\0')},
      {"blank after 3 pairs", "FFD8FF E0", 51, std::string("\xFF\xD8\xFF\0", 4)},
      {"line break after 2 pairs", "FFD8\r\nFFD9", 51, std::string("\xFF\xD8\0\0\0", 5)},
  };
  for (const auto& c : cases) {
    TJPEGImage picture;
    EXPECT_EQ(JpegErrorOf([&] { HexToJPEG(c.text, picture); }), c.error) << c.what;
    EXPECT_EQ(Written(picture), c.bytes) << c.what;
    EXPECT_FALSE(picture.IsEmpty()) << c.what;
  }

  TJPEGImage upper_picture, lower_picture;
  HexToJPEG(jpeg_hex, upper_picture);
  HexToJPEG(lower, lower_picture);
  EXPECT_EQ(Written(lower_picture), Written(upper_picture));
  EXPECT_EQ(lower_picture.Width(), 227);

  // Text cut in the middle of the picture's data still loads and draws.
  TJPEGImage cut;
  HexToJPEG(jpeg_hex.substr(0, jpeg_hex.size() / 2 + 1), cut);
  EXPECT_EQ(cut.DecodedBitmap().Width(), 227);
}

}  // namespace
}  // namespace qv
