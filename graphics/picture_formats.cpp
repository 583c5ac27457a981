#include "graphics/picture_formats.h"

#include <QString>

#include "graphics/bitmap.h"
#include "graphics/icon.h"
#include "graphics/metafile/metafile.h"
#include "graphics/png_picture.h"

namespace qv {

namespace {

struct TBuiltInFormat {
  const char* extension;
  const char* name;
  const TGraphicClass& (*picture_class)();
};

// The built-in formats, in registry order. PNG decoding is part of Qt and so
// always present; its entry follows the others, before the JPEG entries that
// start-up appends.
const TBuiltInFormat kBuiltInFormats[] = {
    {"wmf", "Metafiles", &GraphicClassOf<TMetafile>},
    {"emf", "Enhanced Metafiles", &GraphicClassOf<TMetafile>},
    {"ico", "Icons", &GraphicClassOf<TIcon>},
    {"bmp", "Bitmaps", &GraphicClassOf<TBitmap>},
    {"png", "Portable Network Graphics", &GraphicClassOf<TPNGPicture>},
};

bool IsOfClass(const TGraphicClass& candidate, const TGraphicClass& base) {
  if (&candidate == &base) return true;
  // The class relation is known only to instances: ask an empty one.
  const std::unique_ptr<TGraphic> probe = candidate.Create();
  return base.Includes(*probe);
}

}  // namespace

std::string LowerCaseExtension(const std::string& extension) {
  return QString::fromUtf8(extension.data(), static_cast<qsizetype>(extension.size()))
      .toLower()
      .toStdString();
}

TFileFormatsList::TFileFormatsList() {
  for (const TBuiltInFormat& format : kBuiltInFormats) {
    RegisterPictureFormat(format.extension, format.name, format.picture_class());
  }
}

void TFileFormatsList::RegisterPictureFormat(const std::string& extension,
                                             const std::string& format_name,
                                             const TGraphicClass& picture_class) {
  entries_.push_back(TFileFormat{&picture_class, LowerCaseExtension(extension), format_name, 0});
}

void TFileFormatsList::UnregisterPictureClass(const TGraphicClass& picture_class) {
  for (size_t i = entries_.size(); i-- > 0;) {
    if (IsOfClass(*entries_[i].PictureClass, picture_class)) {
      entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}

const TGraphicClass* TFileFormatsList::FindByExtension(const std::string& extension) const {
  const std::string wanted = LowerCaseExtension(extension);
  for (size_t i = entries_.size(); i-- > 0;) {
    if (entries_[i].FileExtension == wanted) return entries_[i].PictureClass;
  }
  return nullptr;
}

std::string TFileFormatsList::DialogFilter(const TGraphicClass* only) const {
  std::string all_patterns;
  std::string each;
  for (const TFileFormat& format : entries_) {
    if (only != nullptr && !IsOfClass(*format.PictureClass, *only)) continue;
    const std::string pattern = "*." + format.FileExtension;
    if (!all_patterns.empty()) all_patterns += ';';
    all_patterns += pattern;
    each += format.FormatName + " (" + pattern + ")|" + pattern + "|";
  }
  if (all_patterns.empty()) return std::string();
  return "All (" + all_patterns + ")|" + all_patterns + "|" + each;
}

TFileFormatsList& PictureFormats() {
  static TFileFormatsList registry;
  return registry;
}

}  // namespace qv
