#include "tools/picture_loading.h"

#include <filesystem>
#include <system_error>

#include "base/platform.h"
#include "base/streams.h"
#include "conversion/jpeg_data.h"
#include "conversion/jpeg_image.h"
#include "conversion/jpeg_library.h"  // jpeglib.h first: jerror.h needs it

#include <jerror.h>
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
  // A folder has no extension to go by: the file stream's own refusal says
  // what it is ("Is a directory") instead of "Unknown picture file extension".
  std::error_code error;
  if (std::filesystem::is_directory(PathFromUtf8(path), error)) TFileStream folder(path);
  TPicture container;
  container.OpenPictureFile(path);
  TJPEGImage loaded;
  loaded.AssignFrom(&container);
  RefuseEmptyPicture(loaded);
  picture.AssignFrom(&loaded);
}

void RefuseEmptyPicture(const TJPEGImage& picture) {
  if (picture.SharedData().BytesSize() == 0) jpeg::RaiseJPEGError(JERR_INPUT_EMPTY, nullptr);
}

}  // namespace qv
