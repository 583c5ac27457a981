// The file-extension lookup: the extension taken from a name, its lower-cased
// form and the registry lookup. Lower-casing is idempotent, the lookup ignores
// case, and the extension is a suffix of the name.
#include <cstdlib>
#include <string>

#include "graphics/picture.h"
#include "graphics/picture_formats.h"

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  const std::string extension = TPicture::FileExtension(name);
  if (extension.size() > name.size() ||
      name.compare(name.size() - extension.size(), extension.size(), extension) != 0) {
    std::abort();
  }
  const std::string lower = LowerCaseExtension(extension);
  if (LowerCaseExtension(lower) != lower) std::abort();
  const TFileFormatsList& formats = PictureFormats();
  if (formats.FindByExtension(extension) != formats.FindByExtension(lower)) std::abort();
  // The whole input as an extension, too: any bytes, not only what follows a dot.
  const std::string whole = LowerCaseExtension(name);
  if (LowerCaseExtension(whole) != whole) std::abort();
  if (formats.FindByExtension(name) != formats.FindByExtension(whole)) std::abort();
  return 0;
}
