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

// The conversions' stream forms (quorvane-hex's) give what their text forms
// (the window's) give, and say where the text stops whether the load
// succeeds or fails.
TEST(HexStreams, StreamFormsOfTheConversionsMatchTheTextForms) {
  const std::string jpeg = ReadAll(CorpusFile("good/jpegsuite-baseline-1x1.jpg"));
  TJPEGImage source;
  source.ReadFromFile(CorpusFile("good/jpegsuite-baseline-1x1.jpg"));
  std::string text;
  JPEGToHex(source, text);
  TMemoryStream written;
  JPEGToHex(source, written);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(written.Memory()),
                        static_cast<size_t>(written.Size())),
            text);

  const int64_t pairs = static_cast<int64_t>(jpeg.size());
  const struct {
    std::string text;
    bool stopped;
    int64_t pairs_decoded;
  } cases[] = {
      {text, false, pairs},
      {text + "\r\n", true, pairs},                            // loads, with a stop after the data
      {text.substr(0, 40) + " " + text.substr(40), true, 20},  // the header cut short
      {"FFD8 FFE0", true, 2},                                  // fails: no header
      {"", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 50));
    TMemoryStream stream;
    stream.WriteBuffer(c.text.data(), static_cast<int64_t>(c.text.size()));
    stream.SetPosition(0);
    TJPEGImage picture;
    THexTextStop stop;
    std::string got;
    try {
      HexToJPEG(stream, static_cast<int64_t>(c.text.size()), picture, stop);
      got = Written(picture);
    } catch (const Exception& e) {
      got = "error: " + e.Message();
    }
    EXPECT_EQ(got, ViaHexToJPEG(c.text));
    EXPECT_EQ(stop.Stopped, c.stopped);
    if (c.stopped) {
      EXPECT_EQ(stop.PairsDecoded, c.pairs_decoded);
    }
  }
}

}  // namespace
}  // namespace qv
