// Picture data that several pictures hold at once instead of copying it.
// The count changes atomically: a worker thread may hold a share of data that
// the UI thread also holds. The last DropShare frees the object, exactly once.
#pragma once

#include <atomic>
#include <cstdint>

namespace qv {

class TSharedImage {
 public:
  TSharedImage(const TSharedImage&) = delete;
  TSharedImage& operator=(const TSharedImage&) = delete;

  void AddShare() noexcept;
  // Lowers the count; at 0 calls FreeResources and deletes the object. The
  // caller must not touch the object afterwards.
  void DropShare() noexcept;
  int32_t ShareCount() const noexcept { return share_count_.load(std::memory_order_acquire); }

 protected:
  // Made with a count of 1, for the picture that creates it; only DropShare deletes it.
  TSharedImage() = default;
  virtual ~TSharedImage() = default;
  // Releases platform resources before the object is freed; each data class decides what.
  virtual void FreeResources() noexcept {}

 private:
  std::atomic<int32_t> share_count_{1};
};

}  // namespace qv
