#include "graphics/shared_image.h"

namespace qv {

void TSharedImage::AddShare() noexcept {
  share_count_.fetch_add(1, std::memory_order_relaxed);
}

void TSharedImage::DropShare() noexcept {
  // acq_rel: the holder that frees the object sees every other holder's use of it.
  if (share_count_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    FreeResources();
    delete this;
  }
}

}  // namespace qv
