// One picture reader (QV_FUZZ_PICTURE: TBitmap, TIcon, TMetafile or
// TPNGPicture): loading any bytes fails only with our own errors, and a loaded
// picture draws.
#include "base/exceptions.h"
#include "fuzz/fuzz_support.h"
#include "graphics/bitmap.h"
#include "graphics/icon.h"
#include "graphics/metafile/metafile.h"
#include "graphics/png_picture.h"

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::EnsureGuiApplication();
  TMemoryStream stream;
  fuzz::FillStream(stream, data, size);
  QV_FUZZ_PICTURE picture;
  try {
    picture.ReadFromStream(stream);
  } catch (const Exception&) {
    return 0;
  }
  try {
    fuzz::DrawSmall(picture);
  } catch (const Exception&) {
  }
  return 0;
}
