#include "tools/hex_stream.h"

#include <algorithm>
#include <cstring>

#include "base/exceptions.h"
#include "conversion/hex_codec.h"

namespace qv {

namespace {

// Small enough to stay in the cache between encoding and writing.
constexpr int64_t kPieceBytes = 128 * 1024;

}  // namespace

THexEncodingStream::THexEncodingStream(TStream& out) : out_(out), text_(2 * kPieceBytes) {}

int64_t THexEncodingStream::Write(const void* buffer, int64_t count) {
  const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
  for (int64_t done = 0; done < count;) {
    const int64_t piece = std::min(kPieceBytes, count - done);
    BytesToHexText(bytes + done, text_.data(), static_cast<int32_t>(piece));
    out_.WriteBuffer(text_.data(), 2 * piece);
    done += piece;
  }
  if (count > 0) position_ += count;
  return count > 0 ? count : 0;
}

int64_t THexEncodingStream::Seek(int64_t offset, TSeekOrigin origin) {
  const bool stays = origin == TSeekOrigin::soBeginning ? offset == position_ : offset == 0;
  if (!stays) throw EReadError("Stream write error");
  return position_;
}

THexDecodingStream::THexDecodingStream(TStream& text, int64_t length)
    : text_(text), length_(length > 0 ? length : 0), piece_(2 * kPieceBytes) {}

int64_t THexDecodingStream::Read(void* buffer, int64_t count) {
  count = std::min(count, Size() - position_);
  if (count <= 0) return 0;
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count && !stopped_) {
    const int32_t want = static_cast<int32_t>(std::min(kPieceBytes, count - done));
    text_.ReadBuffer(piece_.data(), 2 * int64_t{want});
    const int32_t got = HexTextToBytes(piece_.data(), bytes + done, want);
    done += got;
    if (got < want) {
      stopped_ = true;
      pairs_decoded_ = position_ + done;
    }
  }
  // What follows a stop is zero, as in a restore from the text box.
  if (done < count) std::memset(bytes + done, 0, static_cast<size_t>(count - done));
  position_ += count;
  return count;
}

int64_t THexDecodingStream::Seek(int64_t offset, TSeekOrigin origin) {
  const bool stays = origin == TSeekOrigin::soBeginning ? offset == position_
                     : origin == TSeekOrigin::soEnd     ? Size() + offset == position_
                                                        : offset == 0;
  if (!stays) throw EReadError(kStreamReadErrorText);
  return position_;
}

}  // namespace qv
