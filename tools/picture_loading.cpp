#include "tools/picture_loading.h"

#include "conversion/jpeg_image.h"
#include "conversion/jpeg_registration.h"
#include "graphics/picture.h"
#include "graphics/picture_formats.h"

namespace qv {

void RegisterPictureFormats() {
  RegisterJPEGFormats();
}

void OpenPictureFile(const std::string& path, TPicture& container) {
  container.OpenPictureFile(path);
}

void LoadJPEGPictureFile(const std::string& path, TJPEGImage& picture) {
  TPicture container;
  container.OpenPictureFile(path);
  picture.AssignFrom(&container);
}

}  // namespace qv
