#include "graphics/palette.h"

namespace qv {

TPaletteHandle MakeHalftonePalette() {
  std::vector<QRgb> entries;
  entries.reserve(256);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) entries.push_back(qRgb(r * 51, g * 51, b * 51));
  // 40 greys between the cube's own grey steps.
  for (int i = 1; entries.size() < 256; ++i) {
    const int level = i * 255 / 41;
    entries.push_back(qRgb(level, level, level));
  }
  return MakePalette(std::move(entries));
}

}  // namespace qv
