// Loading a JPEG picture (header only): fails only with our own errors.
#include "base/exceptions.h"
#include "conversion/jpeg_image.h"
#include "fuzz/fuzz_support.h"

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream;
  fuzz::FillStream(stream, data, size);
  TJPEGImage picture;
  try {
    picture.ReadFromStream(stream);
  } catch (const Exception&) {
  }
  return 0;
}
