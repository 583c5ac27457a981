// The settings every new JPEG picture starts with, and the rule that fixes the
// output depth from the screen once at start-up.
#pragma once

#include <cstdint>

namespace qv {

enum class TJPEGPixelFormat : uint8_t { od24Bit = 0, od8Bit = 1 };
using enum TJPEGPixelFormat;
enum class TJPEGPerformance : uint8_t { dpQuality = 0, dpSpeed = 1 };
using enum TJPEGPerformance;

struct TJPEGDefaults {
  uint8_t SaveQuality = 90;  // 1..100
  bool GrayOutput = false;
  TJPEGPerformance DecodePriority = dpQuality;
  TJPEGPixelFormat OutputDepth = od24Bit;
  bool ScanDisplay = false;
  bool Progressive = false;
  uint8_t DecodeScale = 0;  // output scale 1/2^n, 0..3
  bool BlockSmoothing = true;
};

// Copied into every new TJPEGImage. Written at start-up (and by tests) before
// any worker thread exists, read without a lock afterwards.
extern TJPEGDefaults DefaultJPEGSettings;

// Sets DefaultJPEGSettings.OutputDepth from the screen: od8Bit at 8 bits per
// pixel or fewer, od24Bit above. Run once at start-up, before the main window.
void ApplyScreenDepthRule();

}  // namespace qv
