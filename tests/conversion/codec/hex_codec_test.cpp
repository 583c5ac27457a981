#include "conversion/hex_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/platform.h"

namespace qv {
namespace {

std::vector<THexPath> SupportedPaths() {
  std::vector<THexPath> paths;
  for (THexPath p : {THexPath::Plain, THexPath::SSE2, THexPath::SSSE3, THexPath::AVX2}) {
    if (HexPathSupported(p)) paths.push_back(p);
  }
  return paths;
}

std::string PathName(THexPath p) {
  switch (p) {
    case THexPath::Plain: return "Plain";
    case THexPath::SSE2: return "SSE2";
    case THexPath::SSSE3: return "SSSE3";
    case THexPath::AVX2: return "AVX2";
  }
  return "?";
}

class HexCodec : public testing::TestWithParam<THexPath> {
 protected:
  std::string Encode(const std::vector<uint8_t>& bytes) {
    std::string text(bytes.size() * 2 + 8, '#');
    BytesToHexTextWith(GetParam(), bytes.data(), text.data(), static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(text.substr(bytes.size() * 2), "########") << "wrote past 2N";
    text.resize(bytes.size() * 2);
    return text;
  }
  // Decodes `text` wanting n bytes into a buffer pre-filled with 0xEE.
  std::pair<int32_t, std::vector<uint8_t>> Decode(const std::string& text, int32_t n) {
    std::vector<uint8_t> out(static_cast<size_t>(std::max(n, 0)) + 4, 0xEE);
    const int32_t got = HexTextToBytesWith(GetParam(), text.c_str(), out.data(), n);
    return {got, out};
  }
};

TEST_P(HexCodec, EncodesUpperCasePairs) {
  EXPECT_EQ(Encode({0x00, 0x7F, 0xA5, 0xFF}), "007FA5FF");
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  const std::string text = Encode(all);
  for (int i = 0; i < 256; ++i) {
    char expected[3];
    snprintf(expected, sizeof expected, "%02X", i);
    EXPECT_EQ(text.substr(2 * i, 2), expected);
  }
}

TEST_P(HexCodec, NonPositiveCountsDoNothing) {
  char text[4] = {'x', 'x', 'x', 'x'};
  const uint8_t bytes[2] = {1, 2};
  for (int32_t n : {0, -1, INT32_MIN}) {
    BytesToHexTextWith(GetParam(), bytes, text, n);
    EXPECT_EQ(std::string(text, 4), "xxxx");
    uint8_t out = 0xEE;
    // A null text proves that nothing is read.
    EXPECT_EQ(HexTextToBytesWith(GetParam(), nullptr, &out, n), 0);
    EXPECT_EQ(out, 0xEE);
  }
}

TEST_P(HexCodec, DecodesTheDocumentedCases) {
  struct Case {
    std::string text;
    int32_t n;
    int32_t result;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {"0aFf", 2, 2, {0x0A, 0xFF}},
      {"4G00", 2, 0, {}},
      {"12 34", 2, 1, {0x12}},
      {"12", 2, 1, {0x12}},  // the terminating NUL stops it
      {"7\n", 1, 0, {}},
      {"AB\r\nCD", 2, 1, {0xAB}},
      {"9:", 1, 0, {}},
      {"@0", 1, 0, {}},
      {"0G", 1, 0, {}},
      {"`0", 1, 0, {}},
      {"0g", 1, 0, {}},
      {"/0", 1, 0, {}},
      {"\xC0" "0", 1, 0, {}},
      {"0123456789abcdefABCDEF", 11, 11, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0xAB, 0xCD, 0xEF}},
      {"FFFF", 1, 1, {0xFF}},  // stops at N
  };
  for (const Case& c : cases) {
    auto [got, out] = Decode(c.text, c.n);
    EXPECT_EQ(got, c.result) << c.text;
    for (size_t i = 0; i < c.bytes.size(); ++i) EXPECT_EQ(out[i], c.bytes[i]) << c.text << " @" << i;
    // The stopping pair and everything after it is left alone.
    for (size_t i = c.bytes.size(); i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << c.text << " @" << i;
  }
}

TEST_P(HexCodec, MatchesPlainReferenceOnRandomDataAndRoundTrips) {
  std::mt19937 rng(42);
  for (int32_t n : {1, 15, 16, 17, 31, 32, 33, 63, 64, 65, 127, 1000, 4096, 65537}) {
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    std::string plain(2 * n, 0);
    BytesToHexTextPlain(bytes.data(), plain.data(), n);
    ASSERT_EQ(Encode(bytes), plain) << n;
    // Mixed case must decode the same.
    std::string mixed = plain;
    for (auto& c : mixed) {
      if (c >= 'A' && (rng() & 1)) c = static_cast<char>(c | 0x20);
    }
    auto [got, out] = Decode(mixed, n);
    ASSERT_EQ(got, n);
    ASSERT_EQ(0, std::memcmp(out.data(), bytes.data(), n));
  }
}

TEST_P(HexCodec, StopsExactlyWhereThePlainCodeStops) {
  std::mt19937 rng(7);
  const char bad[] = {' ', '\n', '\r', ':', '@', 'G', '`', 'g', '\0', '\x80', '\xFF', '/'};
  for (int32_t n : {16, 33, 64, 100, 200}) {
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    std::string text(2 * n, 0);
    BytesToHexTextPlain(bytes.data(), text.data(), n);
    // Several alignments of the text start as well.
    for (size_t shift = 0; shift < 4; ++shift) {
      for (int32_t at = 0; at < 2 * n; ++at) {
        std::string broken = std::string(shift, '#') + text;
        broken[shift + at] = bad[(at + shift) % sizeof bad];
        std::vector<uint8_t> expected(n + 4, 0xEE), actual(n + 4, 0xEE);
        const int32_t want = HexTextToBytesPlain(broken.c_str() + shift, expected.data(), n);
        const int32_t got = HexTextToBytesWith(GetParam(), broken.c_str() + shift, actual.data(), n);
        ASSERT_EQ(got, at / 2) << "n=" << n << " at=" << at;
        ASSERT_EQ(got, want);
        ASSERT_EQ(expected, actual) << "n=" << n << " at=" << at;
      }
    }
  }
}

// The text ends exactly at a page boundary, followed by a page that cannot be
// read: decoding must stop on the terminator without touching that page.
TEST_P(HexCodec, ReadsNothingPastTheStop) {
  const size_t page = MemoryPageSize();
  char* area = AllocateWithGuardPage(2 * page);
  ASSERT_NE(area, nullptr);
  char* end = area + 2 * page;
  std::vector<uint8_t> out(4 * page, 0);
  for (size_t pairs : {size_t{0}, size_t{1}, size_t{7}, size_t{16}, size_t{31}, size_t{32}, size_t{500}}) {
    for (size_t tail : {size_t{0}, size_t{1}}) {
      // text of `pairs` pairs + optional stray digit + NUL ending at `end`
      const size_t length = 2 * pairs + tail + 1;
      char* text = end - length;
      std::memset(text, 'A', length - 1);
      text[length - 1] = '\0';
      const int32_t got = HexTextToBytesWith(GetParam(), text, out.data(), 1 << 20);
      EXPECT_EQ(got, static_cast<int32_t>(pairs)) << pairs << "+" << tail;
    }
    // Exactly 2N readable characters with no terminator at all.
    char* text = end - 2 * pairs;
    std::memset(text, 'b', 2 * pairs);
    EXPECT_EQ(HexTextToBytesWith(GetParam(), text, out.data(), static_cast<int32_t>(pairs)),
              static_cast<int32_t>(pairs));
  }
  FreeWithGuardPage(area, 2 * page);
}

INSTANTIATE_TEST_SUITE_P(AllPaths, HexCodec, testing::ValuesIn(SupportedPaths()),
                         [](const auto& info) { return PathName(info.param); });

TEST(HexCodecDispatch, UsesTheBestSupportedPath) {
  EXPECT_TRUE(HexPathSupported(BestHexPath()));
  std::string text(8, 0);
  const uint8_t bytes[4] = {0xDE, 0xAD, 0xbe, 0xef};
  BytesToHexText(bytes, text.data(), 4);
  EXPECT_EQ(text, "DEADBEEF");
  uint8_t out[4];
  EXPECT_EQ(HexTextToBytes("deadBEEF", out, 4), 4);
  EXPECT_EQ(0, std::memcmp(out, bytes, 4));
}

}  // namespace
}  // namespace qv
