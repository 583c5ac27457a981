#include "conversion/picture_hex.h"

#include <cstring>
#include <limits>
#include <new>

#include "base/exceptions.h"
#include "base/platform.h"
#include "base/streams.h"
#include "conversion/hex_codec.h"
#include "conversion/jpeg_image.h"

namespace qv {

namespace {

// Text lengths are 32-bit signed, so at most 2^30 - 1 bytes convert.
constexpr int64_t kMaxBytes = (int64_t{1} << 30) - 1;

}  // namespace

void JPEGToHex(TJPEGImage& picture, std::string& text) {
  TMemoryStream buffer;
  picture.WriteToStream(buffer);
  const int64_t count = buffer.Size();
  if (count > kMaxBytes) RaiseOutOfMemory();
  if (static_cast<uint64_t>(2 * count) > PhysicalMemoryLimit()) RaiseOutOfMemory();
  std::string result;
  try {
    result.resize(static_cast<size_t>(2 * count));
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  } catch (const std::length_error&) {
    RaiseOutOfMemory();
  }
  BytesToHexText(buffer.Memory(), result.data(), static_cast<int32_t>(count));
  text.swap(result);
}

void HexToJPEG(const std::string& text, TJPEGImage& picture) {
  if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) RaiseOutOfMemory();
  const int32_t count = static_cast<int32_t>(text.size() / 2);
  TMemoryStream buffer;
  buffer.SetSize(count);
  const int32_t decoded = HexTextToBytes(text.data(), buffer.Memory(), count);
  // What follows a stop in the text is zero, not whatever the memory held before.
  if (decoded < count)
    std::memset(buffer.Memory() + decoded, 0, static_cast<size_t>(count - decoded));
  buffer.SetPosition(0);
  picture.ReadFromStream(buffer);
}

}  // namespace qv
