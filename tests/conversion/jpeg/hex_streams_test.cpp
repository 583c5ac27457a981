// The hex streams fed from a stream, piece by piece (as the command line
// uses them), give exactly what they give fed from memory in one piece (as
// the window's conversions use them), for sound and for broken text.
#include <gtest/gtest.h>

#include <string>

#include "base/exceptions.h"
#include "base/streams.h"
#include "conversion/hex_codec.h"
#include "conversion/hex_streams.h"
#include "conversion/jpeg_image.h"
#include "conversion/picture_hex.h"
#include "jpeg_test_support.h"

namespace qv {
namespace {

using testing_jpeg::CorpusFile;
using testing_jpeg::ReadAll;
using testing_jpeg::Written;

// The picture's bytes, or the error text, for text loaded one way or the other.
std::string ViaHexToJPEG(const std::string& text) {
  try {
    TJPEGImage picture;
    HexToJPEG(text, picture);
    return Written(picture);
  } catch (const Exception& e) {
    return "error: " + e.Message();
  }
}

std::string ViaDecodingStream(const std::string& text, int64_t* pairs = nullptr) {
  try {
    TMemoryStream source;
    source.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
    source.SetPosition(0);
    THexDecodingStream bytes(source, static_cast<int64_t>(text.size()));
    TJPEGImage picture;
    picture.ReadFromStream(bytes);
    if (pairs) *pairs = bytes.PairsDecoded();
    return Written(picture);
  } catch (const Exception& e) {
    return "error: " + e.Message();
  }
}

TEST(HexStreams, DecodingFromAStreamLoadsWhatHexToJPEGLoads) {
  const std::string jpeg = ReadAll(CorpusFile("good/large-pil-photo-2000x1072.jpg"));
  std::string text(2 * jpeg.size(), '\0');
  BytesToHexText(reinterpret_cast<const uint8_t*>(jpeg.data()), text.data(),
                 static_cast<int32_t>(jpeg.size()));
  // Stops before, at and after the stream's piece size (128 KiB of bytes).
  const size_t piece = 2 * 128 * 1024;
  const std::string cases[] = {
      text,
      text + "F",
      text + "\r\n",
      text.substr(0, 5000) + "\n" + text.substr(5000),
      text.substr(0, piece) + " " + text.substr(piece),
      text.substr(0, piece - 1) + "G" + text.substr(piece),
      text.substr(0, 3 * piece + 3) + "x" + text.substr(3 * piece + 4),
      "0x" + text,
      "",
      "FF",
      "FFD8",
      "ffd8ffe0",
  };
  for (const std::string& c : cases) {
    SCOPED_TRACE(c.size());
    EXPECT_EQ(ViaDecodingStream(c), ViaHexToJPEG(c));
  }
  int64_t pairs = -1;
  ViaDecodingStream(text.substr(0, piece) + " " + text.substr(piece), &pairs);
  EXPECT_EQ(pairs, static_cast<int64_t>(piece / 2));
}

TEST(HexStreams, EncodingIntoAStreamWritesWhatJPEGToHexWrites) {
  for (const char* name : {"good/large-pillars-2048x2048.jpg", "bad/jdec-empty.jpg",
                           "good/jpegsuite-baseline-1x1.jpg"}) {
    SCOPED_TRACE(name);
    TJPEGImage picture;
    picture.ReadFromFile(CorpusFile(name));
    std::string expected;
    JPEGToHex(picture, expected);
    TMemoryStream text;
    THexEncodingStream hex(text);
    picture.WriteToStream(hex);
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(text.Memory()), static_cast<size_t>(text.Size())),
        expected);
  }
}

}  // namespace
}  // namespace qv
