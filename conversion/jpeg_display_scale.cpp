#include "conversion/jpeg_display_scale.h"

namespace qv::jpeg {

int64_t ScaledSide(int64_t side, int eighths) {
  // As jpeg_calc_output_dimensions rounds (jdiv_round_up).
  return (side * eighths + 7) / 8;
}

int DisplayEighths(int64_t width, int64_t height, int64_t box_width, int64_t box_height) {
  // A picture that fits its box draws every pixel of the full decode.
  if (box_width >= width || box_height >= height) return 8;
  for (int n = 1; n < 8; ++n) {
    if (ScaledSide(width, n) >= box_width && ScaledSide(height, n) >= box_height) return n;
  }
  return 8;
}

}  // namespace qv::jpeg
