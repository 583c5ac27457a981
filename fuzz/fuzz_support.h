// Shared pieces of the fuzz targets: a Qt GUI application for the picture
// readers and painters, and a stream over the input bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/streams.h"

namespace qv::fuzz {

// Creates the offscreen QGuiApplication once (fonts and image readers need it).
void EnsureGuiApplication();

// A memory stream holding `size` bytes of `data`, positioned at its start.
void FillStream(TMemoryStream& stream, const uint8_t* data, size_t size);

}  // namespace qv::fuzz

namespace qv {
class TGraphic;
namespace fuzz {
// Draws `graphic` into a small offscreen image at its own size, clipped to
// 64 x 64 pixels: enough to run every drawing path without big buffers.
void DrawSmall(TGraphic& graphic);
}  // namespace fuzz
}  // namespace qv
