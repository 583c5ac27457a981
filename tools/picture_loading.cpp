#include "tools/picture_loading.h"

#include <algorithm>
#include <cctype>

#include "base/exceptions.h"
#include "base/format.h"
#include "conversion/jpeg_image.h"

namespace qv {

namespace {

// What follows the last '.' of the name when no path or drive delimiter comes
// after it; otherwise empty. Case kept.
std::string FileExtension(const std::string& name) {
  const size_t at = name.find_last_of(".\\/:");
  if (at == std::string::npos || name[at] != '.') return std::string();
  return name.substr(at + 1);
}

std::string AsciiLower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

bool IsPictureFileName(const std::string& path) {
  const std::string lower = AsciiLower(FileExtension(path));
  return lower == "jpg" || lower == "jpeg" || lower == "bmp" || lower == "ico" || lower == "emf" ||
         lower == "wmf" || lower == "png";
}

void LoadJPEGPictureFile(const std::string& path, TJPEGImage& picture) {
  const std::string extension = FileExtension(path);
  const std::string lower = AsciiLower(extension);
  if (lower == "jpg" || lower == "jpeg") {
    TJPEGImage loaded;
    loaded.ReadFromFile(path);
    picture.AssignFrom(&loaded);
    return;
  }
  if (lower == "bmp" || lower == "ico" || lower == "emf" || lower == "wmf" || lower == "png")
    throw EConvertError(Format(kCannotAssignText, "TPicture", "TJPEGImage"));
  throw EInvalidGraphic(Format("Unknown picture file extension (.%s)", extension.c_str()));
}

}  // namespace qv
