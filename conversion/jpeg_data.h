// The JPEG bytes of a picture with their header facts, shared by count among
// the pictures that hold them. Once it holds bytes, nothing changes them: any
// number of threads may read the block through read cursors of their own.
#pragma once

#include <cstdint>
#include <memory>

#include "base/streams.h"
#include "graphics/shared_image.h"

namespace qv {

class TJPEGData : public TSharedImage {
 public:
  // Count 1, no byte block, width and height 0.
  TJPEGData() = default;

  bool HasBytes() const { return bytes_ != nullptr; }
  // The block's first byte and size; null and 0 without a block.
  const uint8_t* BytesData() const { return bytes_ ? bytes_->Memory() : nullptr; }
  int64_t BytesSize() const { return bytes_size_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

 private:
  friend class TJPEGImage;
  ~TJPEGData() override = default;

  std::unique_ptr<TMemoryStream> bytes_;
  int64_t bytes_size_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

}  // namespace qv
