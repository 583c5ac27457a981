// Bits per pixel of the screen; tests inject a value to exercise the 8-bit looks.
#pragma once

namespace qv {

int ScreenBitsPerPixel();
void SetScreenBitsPerPixelOverride(int bits);  // 0 reads the screen again

}  // namespace qv
