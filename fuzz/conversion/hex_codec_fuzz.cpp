// The hex codec: every vectorised decoder agrees with the plain one on any
// text (bytes written and where it stops), and bytes survive the round trip.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "conversion/hex_codec.h"

using namespace qv;

namespace {
const THexPath kVectorPaths[] = {THexPath::SSE2, THexPath::SSSE3, THexPath::AVX2,
                                 THexPath::AVX512BW, THexPath::AVX512VBMI};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const auto* text = reinterpret_cast<const char*>(data);
  const int32_t pairs = static_cast<int32_t>(size / 2);

  std::vector<uint8_t> expected(static_cast<size_t>(pairs) + 1, 0xA5);
  const int32_t expected_count = HexTextToBytesPlain(text, expected.data(), pairs);
  if (expected_count < 0 || expected_count > pairs) std::abort();
  if (expected[static_cast<size_t>(pairs)] != 0xA5) std::abort();  // wrote past the end
  for (THexPath path : kVectorPaths) {
    if (!HexPathSupported(path)) continue;
    for (THexStores stores : {THexStores::Cached, THexStores::Streaming}) {
      std::vector<uint8_t> got(static_cast<size_t>(pairs) + 1, 0xA5);
      const int32_t count = HexTextToBytesWith(path, text, got.data(), pairs, stores);
      if (count != expected_count) std::abort();
      if (std::memcmp(got.data(), expected.data(), static_cast<size_t>(count)) != 0) std::abort();
      // Nothing from the stopping pair on is written.
      for (size_t i = static_cast<size_t>(count); i <= static_cast<size_t>(pairs); ++i) {
        if (got[i] != 0xA5) std::abort();
      }
    }
  }
  if (HexTextToBytes(text, expected.data(), pairs) != expected_count) std::abort();

  // Round trip of the input as bytes, through every encoder.
  const int32_t n = static_cast<int32_t>(size);
  std::vector<char> plain_text(2 * size + 1, '#');
  BytesToHexTextPlain(data, plain_text.data(), n);
  if (plain_text[2 * size] != '#') std::abort();
  for (THexPath path : kVectorPaths) {
    if (!HexPathSupported(path)) continue;
    for (THexStores stores : {THexStores::Cached, THexStores::Streaming}) {
      std::vector<char> hex(2 * size + 1, '#');
      BytesToHexTextWith(path, data, hex.data(), n, stores);
      if (hex != plain_text) std::abort();
      std::vector<uint8_t> back(size + 1, 0xA5);
      if (HexTextToBytesWith(path, hex.data(), back.data(), n, stores) != n) std::abort();
      if (size > 0 && std::memcmp(back.data(), data, size) != 0) std::abort();
    }
  }
  return 0;
}
