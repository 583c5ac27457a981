#include "conversion/jpeg_settings.h"

#include "graphics/screen.h"

namespace qv {

TJPEGDefaults DefaultJPEGSettings;

void ApplyScreenDepthRule() {
  DefaultJPEGSettings.OutputDepth = ScreenBitsPerPixel() <= 8 ? od8Bit : od24Bit;
}

}  // namespace qv
