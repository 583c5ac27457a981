// The hex codec's entry points: they take the path the processor runs best,
// hand the work to that path's kernel through the dispatcher the build chose
// (simd/hex_codec_dispatch_x86.cpp, or simd/hex_codec_dispatch_none.cpp where
// there are no kernels), and run the portable code where there is no kernel.
#include "conversion/hex_codec.h"

#include "conversion/simd/hex_codec_dispatch.h"

namespace qv {
namespace {

// `count` bytes and their 2*count characters pass through the cache.
bool Streams(THexStores stores, int32_t count) {
  return stores == THexStores::Streaming ||
         (stores == THexStores::Auto && 3 * int64_t{count} >= kHexStreamingBytes);
}

}  // namespace

bool HexPathSupported(THexPath path) {
  return path == THexPath::Plain || hex_simd::Supported(path);
}

THexPath BestHexPath() {
  static const THexPath best = hex_simd::BestPath();
  return best;
}

void BytesToHexTextWith(THexPath path, const uint8_t* bytes, char* text, int32_t count,
                        THexStores stores) {
  if (count <= 0) return;
  if (!hex_simd::Encode(path, bytes, text, count, Streams(stores, count)))
    BytesToHexTextPlain(bytes, text, count);
}

int32_t HexTextToBytesWith(THexPath path, const char* text, uint8_t* bytes, int32_t count,
                           THexStores stores) {
  if (count <= 0) return 0;
  int32_t done = 0;
  if (hex_simd::Decode(path, text, bytes, count, Streams(stores, count), done)) return done;
  return HexTextToBytesPlain(text, bytes, count);
}

void BytesToHexText(const uint8_t* bytes, char* text, int32_t count) {
  BytesToHexTextWith(BestHexPath(), bytes, text, count);
}

int32_t HexTextToBytes(const char* text, uint8_t* bytes, int32_t count) {
  return HexTextToBytesWith(BestHexPath(), text, bytes, count);
}

}  // namespace qv
