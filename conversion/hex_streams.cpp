#include "conversion/hex_streams.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "base/exceptions.h"
#include "base/platform.h"
#include "conversion/hex_codec.h"

namespace qv {

namespace {

// Small enough to stay in the cache between encoding and writing.
constexpr int64_t kPieceBytes = 128 * 1024;

}  // namespace

// ---- encoding ----

THexEncodingStream::THexEncodingStream(TStream& out) : out_(&out), piece_(2 * kPieceBytes) {}

THexEncodingStream::THexEncodingStream(std::string& text, int64_t max_bytes)
    : text_(&text), max_bytes_(max_bytes) {}

int64_t THexEncodingStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
  if (text_ != nullptr) {
    AppendToText(bytes, count);
  } else {
    for (int64_t done = 0; done < count;) {
      const int64_t piece = std::min(kPieceBytes, count - done);
      BytesToHexText(bytes + done, piece_.data(), static_cast<int32_t>(piece));
      out_->WriteBuffer(piece_.data(), 2 * piece);
      done += piece;
    }
  }
  position_ += count;
  return count;
}

void THexEncodingStream::AppendToText(const uint8_t* bytes, int64_t count) {
  if (count > max_bytes_ - position_) RaiseOutOfMemory();
  const int64_t total = position_ + count;
  if (static_cast<uint64_t>(2 * total) > PhysicalMemoryLimit()) RaiseOutOfMemory();
  std::string& text = *text_;
  const size_t length = static_cast<size_t>(2 * total);
  try {
    if (length > text.capacity()) {
      // Megabytes of fresh text cost more in page faults than in writing:
      // the advice goes in before the first write of the block (resize's fill).
      text.reserve(position_ == 0 ? length : std::max(length, 2 * text.capacity()));
      if (static_cast<int64_t>(text.capacity()) >= TMemoryStream::kLargeBlock)
        AdviseLargeBlock(text.data() + text.size(), text.capacity() - text.size());
    }
    text.resize(length);
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  } catch (const std::length_error&) {
    RaiseOutOfMemory();
  }
  // Text lengths are 32-bit: callers keep max_bytes below 2^30.
  BytesToHexText(bytes, text.data() + 2 * position_, static_cast<int32_t>(count));
}

int64_t THexEncodingStream::Seek(int64_t offset, TSeekOrigin origin) {
  const bool stays = origin == TSeekOrigin::soBeginning ? offset == position_ : offset == 0;
  if (!stays) throw EReadError("Stream write error");
  return position_;
}

// ---- decoding ----

THexDecodingStream::THexDecodingStream(TStream& text, int64_t length)
    : source_(&text), length_(length > 0 ? length : 0), piece_(2 * kPieceBytes) {}

THexDecodingStream::THexDecodingStream(const char* text, int64_t length)
    : memory_(text), length_(length > 0 ? length : 0) {}

const char* THexDecodingStream::NextPairs(int64_t at, int32_t pairs) {
  if (memory_ != nullptr) return memory_ + 2 * at;
  source_->ReadBuffer(piece_.data(), 2 * int64_t{pairs});
  return piece_.data();
}

int64_t THexDecodingStream::Read(void* buffer, int64_t count) {
  count = std::min(count, Size() - position_);
  if (count <= 0) return 0;
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  // Text in memory decodes in one call; text from a stream a piece at a time.
  const int64_t piece = memory_ != nullptr ? std::numeric_limits<int32_t>::max() : kPieceBytes;
  int64_t done = 0;
  while (done < count && !stopped_) {
    const int32_t want = static_cast<int32_t>(std::min(piece, count - done));
    const int32_t got = HexTextToBytes(NextPairs(position_ + done, want), bytes + done, want);
    done += got;
    if (got < want) {
      stopped_ = true;
      pairs_decoded_ = position_ + done;
    }
  }
  // What follows a stop is zero.
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
