#include "conversion/picture_hex.h"

#include <limits>

#include "base/exceptions.h"
#include "conversion/hex_streams.h"
#include "conversion/jpeg_image.h"

namespace qv {

namespace {

// Text lengths are 32-bit signed, so at most 2^30 - 1 bytes convert.
constexpr int64_t kMaxBytes = (int64_t{1} << 30) - 1;

}  // namespace

void JPEGToHex(TJPEGImage& picture, std::string& text) {
  // The picture writes its block straight into the text: one allocation.
  std::string result;
  THexEncodingStream writer(result, kMaxBytes);
  picture.WriteToStream(writer);
  text.swap(result);
}

void HexToJPEG(const std::string& text, TJPEGImage& picture) {
  if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) RaiseOutOfMemory();
  // The picture loads straight from the text, decoded into its own block.
  THexDecodingStream bytes(text.data(), static_cast<int64_t>(text.size()));
  picture.ReadFromStream(bytes);
}

}  // namespace qv
