#include "conversion/hex_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "base/platform.h"

namespace qv {
namespace {

const THexPath kAllPaths[] = {THexPath::Plain, THexPath::SSE2,     THexPath::SSSE3,
                              THexPath::AVX2,  THexPath::AVX512BW, THexPath::AVX512VBMI};

std::string PathName(THexPath p) {
  switch (p) {
    case THexPath::Plain:
      return "Plain";
    case THexPath::SSE2:
      return "SSE2";
    case THexPath::SSSE3:
      return "SSSE3";
    case THexPath::AVX2:
      return "AVX2";
    case THexPath::AVX512BW:
      return "AVX512BW";
    case THexPath::AVX512VBMI:
      return "AVX512VBMI";
  }
  return "?";
}

// Every path, with cached and with streaming stores; small sizes stream too,
// so the aligned head, the streamed middle and the tail all run here.
class HexCodec : public testing::TestWithParam<std::tuple<THexPath, THexStores>> {
 protected:
  void SetUp() override {
    if (!HexPathSupported(Path())) GTEST_SKIP() << "this processor lacks " << PathName(Path());
  }
  THexPath Path() const { return std::get<0>(GetParam()); }
  THexStores Stores() const { return std::get<1>(GetParam()); }
  void EncodeWith(const uint8_t* bytes, char* text, int32_t n) {
    BytesToHexTextWith(Path(), bytes, text, n, Stores());
  }
  int32_t DecodeWith(const char* text, uint8_t* bytes, int32_t n) {
    return HexTextToBytesWith(Path(), text, bytes, n, Stores());
  }
  std::string Encode(const std::vector<uint8_t>& bytes) {
    std::string text(bytes.size() * 2 + 8, '#');
    EncodeWith(bytes.data(), text.data(), static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(text.substr(bytes.size() * 2), "########") << "wrote past 2N";
    text.resize(bytes.size() * 2);
    return text;
  }
  // Decodes `text` wanting n bytes into a buffer pre-filled with 0xEE.
  std::pair<int32_t, std::vector<uint8_t>> Decode(const std::string& text, int32_t n) {
    std::vector<uint8_t> out(static_cast<size_t>(std::max(n, 0)) + 4, 0xEE);
    const int32_t got = DecodeWith(text.c_str(), out.data(), n);
    return {got, out};
  }
};

// Three pages, the last unreadable: an area placed to end at `End()` is
// followed by a page that faults when touched.
class GuardedArea {
 public:
  GuardedArea() : area_(AllocateWithGuardPage(2 * page_)) { EXPECT_NE(area_, nullptr); }
  ~GuardedArea() { FreeWithGuardPage(area_, 2 * page_); }
  char* End() const { return area_ + 2 * page_; }
  size_t Readable() const { return 2 * page_; }

 private:
  const size_t page_ = MemoryPageSize();
  char* area_ = nullptr;
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
    EncodeWith(bytes, text, n);
    EXPECT_EQ(std::string(text, 4), "xxxx");
    uint8_t out = 0xEE;
    // A null text proves that nothing is read.
    EXPECT_EQ(DecodeWith(nullptr, &out, n), 0);
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
      {"\xC0"
       "0",
       1,
       0,
       {}},
      {"0123456789abcdefABCDEF",
       11,
       11,
       {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0xAB, 0xCD, 0xEF}},
      {"FFFF", 1, 1, {0xFF}},  // stops at N
  };
  for (const Case& c : cases) {
    auto [got, out] = Decode(c.text, c.n);
    EXPECT_EQ(got, c.result) << c.text;
    for (size_t i = 0; i < c.bytes.size(); ++i)
      EXPECT_EQ(out[i], c.bytes[i]) << c.text << " @" << i;
    // The stopping pair and everything after it is left alone.
    for (size_t i = c.bytes.size(); i < out.size(); ++i)
      EXPECT_EQ(out[i], 0xEE) << c.text << " @" << i;
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

// Every stopping character at every place, at several alignments, and with
// the text placed so that a page boundary falls inside it (where a vector
// block is read in two steps) as well as wherever the heap puts it. From 256
// pairs the AVX2 decoder first aligns its output (streaming) or its text
// (cached) with plain code, then runs whole blocks: the texts of 300 pairs
// and more, written at several output alignments, put a stop in that head,
// in each of a block's four vectors and in the tail.
TEST_P(HexCodec, StopsExactlyWhereThePlainCodeStops) {
  std::mt19937 rng(7);
  const char bad[] = {' ', '\n', '\r', ':', '@', 'G', '`', 'g', '\0', '\x80', '\xFF', '/'};
  GuardedArea guarded;
  char* const boundary = guarded.End() - guarded.Readable() / 2;  // between the two readable pages
  for (int32_t n : {16, 33, 64, 100, 200, 300, 517}) {
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    std::string text(2 * n, 0);
    BytesToHexTextPlain(bytes.data(), text.data(), n);
    // Heap strings after 0..3 filler characters, or starting 1, 37 or 2n - 61
    // characters before the page boundary.
    const int32_t before_boundary[] = {-1, -1, -1, -1, 1, 37, std::max(1, 2 * n - 61)};
    for (size_t place = 0; place < std::size(before_boundary); ++place) {
      const size_t shift = place < 4 ? place : 0;
      for (int32_t at = 0; at < 2 * n; ++at) {
        std::string broken = std::string(shift, '#') + text;
        broken[shift + at] = bad[(at + shift) % sizeof bad];
        const char* source = broken.c_str() + shift;
        if (before_boundary[place] > 0) {
          char* moved = boundary - before_boundary[place];
          std::memcpy(moved, source, 2 * n);
          source = moved;
        }
        std::vector<uint8_t> expected(n + 4, 0xEE);
        const int32_t want = HexTextToBytesPlain(source, expected.data(), n);
        // Output 64-byte aligned, then 1, 31 and 63 bytes past that: an aligning
        // head of 63, 31 or 1 bytes before the first block.
        const size_t offsets[] = {0, 1, 31, 63};
        const size_t offset_count = n >= 256 ? std::size(offsets) : 1;
        for (size_t o = 0; o < offset_count; ++o) {
          std::vector<uint8_t> room(n + 4 + 128, 0xEE);
          uint8_t* out =
              room.data() + (64 - reinterpret_cast<uintptr_t>(room.data()) % 64) + offsets[o];
          const int32_t got = DecodeWith(source, out, n);
          ASSERT_EQ(got, at / 2) << "n=" << n << " at=" << at << " place=" << place
                                 << " offset=" << offsets[o];
          ASSERT_EQ(got, want);
          ASSERT_EQ(expected, std::vector<uint8_t>(out, out + n + 4))
              << "n=" << n << " at=" << at << " place=" << place << " offset=" << offsets[o];
        }
      }
    }
  }
}

// The text ends exactly at a page boundary, followed by a page that cannot be
// read: decoding must stop on the terminator without touching that page.
TEST_P(HexCodec, ReadsNothingPastTheStop) {
  GuardedArea guarded;
  const size_t page = MemoryPageSize();
  char* end = guarded.End();
  std::vector<uint8_t> out(4 * page, 0);
  for (size_t pairs :
       {size_t{0}, size_t{1}, size_t{7}, size_t{16}, size_t{31}, size_t{32}, size_t{500}}) {
    for (size_t tail : {size_t{0}, size_t{1}}) {
      // text of `pairs` pairs + optional stray digit + NUL ending at `end`
      const size_t length = 2 * pairs + tail + 1;
      char* text = end - length;
      std::memset(text, 'A', length - 1);
      text[length - 1] = '\0';
      const int32_t got = DecodeWith(text, out.data(), 1 << 20);
      EXPECT_EQ(got, static_cast<int32_t>(pairs)) << pairs << "+" << tail;
    }
    // Exactly 2N readable characters with no terminator at all.
    char* text = end - 2 * pairs;
    std::memset(text, 'b', 2 * pairs);
    EXPECT_EQ(DecodeWith(text, out.data(), static_cast<int32_t>(pairs)),
              static_cast<int32_t>(pairs));
  }
}

// Inputs and outputs that end just before an unreadable page, at every start
// alignment: nothing is read or written past them.
TEST_P(HexCodec, TouchesNothingPastItsAreas) {
  GuardedArea in_area, out_area;
  std::mt19937 rng(11);
  for (int32_t n : {1, 31, 32, 63, 64, 65, 100, 127, 128, 129, 1000}) {
    // Starts of several alignments, at the end of the readable pages.
    for (size_t shift = 0; shift < 3; ++shift) {
      auto* bytes = reinterpret_cast<uint8_t*>(in_area.End() - n);
      for (int32_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(rng());
      const std::vector<uint8_t> original(bytes, bytes + n);
      char* text = out_area.End() - 2 * n - shift;
      EncodeWith(bytes, text, n);
      std::string plain(2 * n, 0);
      BytesToHexTextPlain(original.data(), plain.data(), n);
      ASSERT_EQ(std::string(text, 2 * n), plain) << n << "+" << shift;

      // That text at the end of its pages, decoded into bytes `shift` before
      // the end of theirs; the bytes around them stay as they were.
      char* last_text = in_area.End() - 2 * n;
      std::memcpy(last_text, plain.data(), 2 * n);
      char* fence = out_area.End() - n - 3;
      std::memset(fence, 0x5A, n + 3);
      auto* back = reinterpret_cast<uint8_t*>(out_area.End() - n - shift);
      ASSERT_EQ(DecodeWith(last_text, back, n), n) << n << "+" << shift;
      ASSERT_EQ(std::vector<uint8_t>(back, back + n), original) << n << "+" << shift;
      for (char* c = fence; c < out_area.End(); ++c) {
        if (c < reinterpret_cast<char*>(back) || c >= reinterpret_cast<char*>(back + n)) {
          ASSERT_EQ(*c, 0x5A) << n << "+" << shift;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllPaths, HexCodec,
                         testing::Combine(testing::ValuesIn(kAllPaths),
                                          testing::Values(THexStores::Cached,
                                                          THexStores::Streaming)),
                         [](const auto& info) {
                           return PathName(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) == THexStores::Streaming ? "_Streaming"
                                                                                    : "_Cached");
                         });

// A large block through Auto, which streams from kHexStreamingBytes read and written,
// on the best path: the same as the plain code both ways.
TEST(HexCodecDispatch, LargeOutputsMatchThePlainCode) {
  const int32_t n = static_cast<int32_t>(kHexStreamingBytes / 3 + 4097);
  std::vector<uint8_t> bytes(n);
  std::mt19937 rng(5);
  for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  std::string text(2 * static_cast<size_t>(n), 0), plain(2 * static_cast<size_t>(n), 0);
  BytesToHexText(bytes.data(), text.data(), n);
  BytesToHexTextPlain(bytes.data(), plain.data(), n);
  ASSERT_TRUE(text == plain);
  // Twice as many bytes from the same text: the decoder streams its output too.
  std::string twice = text + text;
  std::vector<uint8_t> back(2 * static_cast<size_t>(n) + 1, 0xEE);
  ASSERT_EQ(HexTextToBytes(twice.data(), back.data() + 1, 2 * n), 2 * n);
  ASSERT_EQ(0, std::memcmp(back.data() + 1, bytes.data(), n));
  ASSERT_EQ(0, std::memcmp(back.data() + 1 + n, bytes.data(), n));
  ASSERT_EQ(back[0], 0xEE);
}

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
