// Loading a JPEG picture and drawing it the first time, with the resource
// limits on. The last byte (after the end marker of a real file, so it does
// not change the picture) picks the decode settings.
#include "base/exceptions.h"
#include "conversion/jpeg_image.h"
#include "conversion/jpeg_library.h"
#include "conversion/jpeg_settings.h"
#include "fuzz/fuzz_support.h"

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::EnsureGuiApplication();
  // The progress notices follow a clock: a counted one, so that the paths taken
  // (and so the inputs the fuzzer keeps) do not depend on the machine's speed.
  jpeg::SetProgressClock([] {
    static uint32_t now = 0;
    return now += 100;
  });
  const uint8_t options = size > 0 ? data[size - 1] : 0;
  DefaultJPEGSettings.GrayOutput = (options & 1) != 0;
  DefaultJPEGSettings.OutputDepth = (options & 2) != 0 ? od8Bit : od24Bit;
  DefaultJPEGSettings.DecodePriority = (options & 4) != 0 ? dpSpeed : dpQuality;
  DefaultJPEGSettings.BlockSmoothing = (options & 8) == 0;
  DefaultJPEGSettings.DecodeScale = static_cast<uint8_t>((options >> 4) & 3);
  TMemoryStream stream;
  fuzz::FillStream(stream, data, size);
  TJPEGImage picture;
  try {
    picture.ReadFromStream(stream);
  } catch (const Exception&) {
    return 0;  // a picture without a header is never drawn
  }
  try {
    fuzz::DrawSmall(picture);
  } catch (const Exception&) {
  }
  // A failed decode stays failed: a second draw raises nothing and decodes nothing.
  fuzz::DrawSmall(picture);
  return 0;
}
