// The screen's colour depth, which decides whether pictures decode to 8-bit
// paletted bitmaps. Tests inject a depth to exercise the 8-bit paths.
#pragma once

#include <functional>

namespace qv {

// Bits per pixel of the primary screen; 24 when there is no screen (no
// QGuiApplication, or one without screens).
int ScreenBitsPerPixel();

// Replaces the screen query; an empty function restores the real one. Set it
// before any worker thread exists: it is read without a lock.
void SetScreenBitsPerPixelQuery(std::function<int()> query);

}  // namespace qv
