// The streams quorvane-hex converts through give exactly what the window's
// conversions give, for sound and for broken text.
#include <gtest/gtest.h>

#include <string>

#include "base/exceptions.h"
#include "base/streams.h"
#include "conversion/hex_codec.h"
#include "conversion/jpeg_image.h"
#include "conversion/picture_hex.h"
#include "tests/tools/cli/cli_test_support.h"
#include "tools/hex_report.h"
#include "tools/hex_stream.h"

namespace qv {
namespace {

std::string Bytes(TJPEGImage& picture) {
  TMemoryStream out;
  picture.WriteToStream(out);
  return std::string(reinterpret_cast<const char*>(out.Memory()), static_cast<size_t>(out.Size()));
}

// The picture's bytes, or the error text, for text loaded one way or the other.
std::string ViaHexToJPEG(const std::string& text) {
  try {
    TJPEGImage picture;
    HexToJPEG(text, picture);
    return Bytes(picture);
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
    return Bytes(picture);
  } catch (const Exception& e) {
    return "error: " + e.Message();
  }
}

TEST(HexStreams, DecodingStreamLoadsWhatHexToJPEGLoads) {
  const std::string jpeg =
      testing_cli::ReadFile(testing_cli::Corpus("jpeg/good/large-pil-photo-2000x1072.jpg"));
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

TEST(HexStreams, EncodingStreamWritesWhatJPEGToHexWrites) {
  for (const char* name : {"jpeg/good/large-pillars-2048x2048.jpg", "jpeg/bad/jdec-empty.jpg",
                           "jpeg/good/jpegsuite-baseline-1x1.jpg"}) {
    SCOPED_TRACE(name);
    TJPEGImage picture;
    picture.ReadFromFile(testing_cli::Corpus(name));
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

TEST(HexReport, StopsAreDescribedWithEscapes) {
  struct Case {
    std::string text;
    int64_t pairs;
    int64_t offset;
    std::string reason;
    std::string run;
  };
  const Case cases[] = {
      {"FFD8", 2, 0, "", ""},
      {"FFD8\r\nFF", 2, 4, "a line break", "\\r\\n"},
      {"F\nD8", 0, 1, "a line break", "\\n"},
      {"0xFF", 0, 1, "a 0x prefix", "0x"},
      {"FF 0XD8", 1, 2, "a blank", " "},
      {std::string("AB\0CD", 5), 1, 2, "a NUL character", "\\0"},
      {"ABG1", 1, 2, "a character that is not a hex digit", "G"},
      {"AB\x01\x7F", 1, 2, "a control character", "\\x01\\x7F"},
      {"AB\"\\", 1, 2, "a character that is not a hex digit", "\\\"\\\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const THexStop stop = FindHexStop(c.text);
    EXPECT_EQ(stop.PairsDecoded, c.pairs);
    EXPECT_EQ(stop.Stopped, !c.reason.empty());
    if (!stop.Stopped) continue;
    EXPECT_EQ(stop.Offset, c.offset);
    EXPECT_EQ(stop.Column, c.offset + 1);
    EXPECT_EQ(stop.Reason, c.reason);
    EXPECT_EQ(stop.Run, c.run);
  }
}

}  // namespace
}  // namespace qv
