// The registry of picture file formats: which picture class reads files with
// which extension. One table of built-in formats fills it; the same entries
// drive the extension lookup and the file dialog's filter. Changed only during
// start-up and shutdown, read by the UI thread; no locks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/graphic.h"

namespace qv {

struct TFileFormat {
  const TGraphicClass* PictureClass = nullptr;
  std::string FileExtension;  // without its dot, lower case
  std::string FormatName;     // never shown by this program
  int32_t FormatNameId = 0;   // always 0 here
};

class TFileFormatsList {
 public:
  // Holds the built-in entries, in order: wmf, emf, ico, bmp and png.
  TFileFormatsList();

  // Appends an entry; the extension is stored lower-cased. No duplicate test:
  // a later registration of an extension overrides an earlier one in lookups.
  void RegisterPictureFormat(const std::string& extension, const std::string& format_name,
                             const TGraphicClass& picture_class);
  // Removes every entry whose class is `picture_class` or derives from it.
  void UnregisterPictureClass(const TGraphicClass& picture_class);
  // The class of the last entry whose extension equals `extension` (without
  // its dot) lower-cased, or null when there is none.
  const TGraphicClass* FindByExtension(const std::string& extension) const;

  const std::vector<TFileFormat>& Entries() const { return entries_; }
  // A file dialog filter over the entries, "All (*.a;*.b)|*.a;*.b|Name (*.a)|*.a|...",
  // limited to `only` and its descendants when given.
  std::string DialogFilter(const TGraphicClass* only = nullptr) const;

 private:
  std::vector<TFileFormat> entries_;
};

// The process's registry, made with its built-in entries on first use and
// released when the program ends.
TFileFormatsList& PictureFormats();

// Lower-cases an extension the way the registry compares them (Unicode-aware;
// the text is UTF-8).
std::string LowerCaseExtension(const std::string& extension);

}  // namespace qv
