// Colour palettes of paletted bitmaps. A palette is immutable once made and is
// held through a shared handle, so a bitmap copy on another thread may keep it.
#pragma once

#include <memory>
#include <vector>

#include <QRgb>

namespace qv {

struct TPalette {
  std::vector<QRgb> Entries;  // at most 256, opaque
};

using TPaletteHandle = std::shared_ptr<const TPalette>;

inline TPaletteHandle MakePalette(std::vector<QRgb> entries) {
  return std::make_shared<const TPalette>(TPalette{std::move(entries)});
}

// A fixed general-purpose palette for screens of 8 bits per pixel or fewer:
// the 6x6x6 colour cube followed by a ramp of greys, 256 entries in all.
TPaletteHandle MakeHalftonePalette();

}  // namespace qv
