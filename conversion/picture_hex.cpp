#include "conversion/picture_hex.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "base/exceptions.h"
#include "base/platform.h"
#include "base/streams.h"
#include "conversion/hex_codec.h"
#include "conversion/jpeg_image.h"

namespace qv {

namespace {

// Text lengths are 32-bit signed, so at most 2^30 - 1 bytes convert.
constexpr int64_t kMaxBytes = (int64_t{1} << 30) - 1;

// Takes the bytes a picture writes and appends their hex digits to `text`,
// so that the picture's block goes straight into the text with no copy of it
// in between. Refuses (EOutOfMemory) before growing the text past kMaxBytes.
class THexTextWriter : public TStream {
 public:
  explicit THexTextWriter(std::string& text) : text_(text) {}

  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    if (count > kMaxBytes - written_) RaiseOutOfMemory();
    const int64_t total = written_ + count;
    if (static_cast<uint64_t>(2 * total) > PhysicalMemoryLimit()) RaiseOutOfMemory();
    const size_t length = static_cast<size_t>(2 * total);
    try {
      if (length > text_.capacity()) {
        // Megabytes of fresh text cost more in page faults than in writing:
        // the advice goes in before the first write of the block (resize's fill).
        text_.reserve(written_ == 0 ? length : std::max(length, 2 * text_.capacity()));
        if (static_cast<int64_t>(text_.capacity()) >= TMemoryStream::kLargeBlock)
          AdviseLargeBlock(text_.data() + text_.size(), text_.capacity() - text_.size());
      }
      text_.resize(length);
    } catch (const std::bad_alloc&) {
      RaiseOutOfMemory();
    } catch (const std::length_error&) {
      RaiseOutOfMemory();
    }
    BytesToHexText(static_cast<const uint8_t*>(buffer), text_.data() + 2 * written_,
                   static_cast<int32_t>(count));
    written_ = total;
    return count;
  }
  int64_t Read(void*, int64_t) override { return 0; }
  // Only appends: the position cannot move.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const bool stays = origin == TSeekOrigin::soBeginning ? offset == written_ : offset == 0;
    if (!stays) throw EReadError("Stream write error");
    return written_;
  }

 private:
  std::string& text_;
  int64_t written_ = 0;
};

// The bytes that hex text stands for, decoded as they are read, so that a
// picture loading from it decodes straight into its own block. Read once from
// the start: from the first pair that is not two hex digits on, every byte is 0.
class THexTextStream : public TStream {
 public:
  THexTextStream(const char* text, int32_t count) : text_(text), count_(count) {}

  int64_t Read(void* buffer, int64_t count) override {
    const int64_t n = std::min(count, count_ - position_);
    if (n <= 0) return 0;
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    const int32_t decoded =
        stopped_ ? 0 : HexTextToBytes(text_ + 2 * position_, bytes, static_cast<int32_t>(n));
    if (decoded < n) {
      stopped_ = true;
      std::memset(bytes + decoded, 0, static_cast<size_t>(n - decoded));
    }
    position_ += n;
    return n;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    switch (origin) {
      case TSeekOrigin::soBeginning:
        position_ = offset;
        break;
      case TSeekOrigin::soCurrent:
        position_ += offset;
        break;
      case TSeekOrigin::soEnd:
        position_ = count_ + offset;
        break;
    }
    return position_;
  }
  int64_t Size() override { return count_; }

 private:
  const char* text_;
  int64_t count_;
  int64_t position_ = 0;
  bool stopped_ = false;
};

}  // namespace

void JPEGToHex(TJPEGImage& picture, std::string& text) {
  std::string result;
  THexTextWriter writer(result);
  picture.WriteToStream(writer);
  text.swap(result);
}

void HexToJPEG(const std::string& text, TJPEGImage& picture) {
  if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) RaiseOutOfMemory();
  THexTextStream bytes(text.data(), static_cast<int32_t>(text.size() / 2));
  picture.ReadFromStream(bytes);
}

}  // namespace qv
