// The PNG picture: keeps the file's bytes, decodes them with Qt's image
// reader (libpng underneath) when read, and draws the decoded image scaled.
#pragma once

#include "base/exceptions.h"
#include "graphics/file_bytes_graphic.h"

namespace qv {

// The imaging library refused an operation; not an EInvalidGraphic.
QV_DECLARE_EXCEPTION(EPNGError, Exception);

// "Invalid operation in GDI+ (Code: %d)" for an imaging status code.
inline constexpr const char* kPNGErrorText = "Invalid operation in GDI+ (Code: %d)";

// Keeps its file's bytes (TFileImageGraphic): written back as read, no
// clipboard exchange, the size its image's.
class TPNGPicture : public TFileImageGraphic {
  QV_GRAPHIC_CLASS(TPNGPicture)

 public:
  TPNGPicture()
      : TFileImageGraphic("PNG pictures cannot be exchanged through the clipboard",
                          "Cannot change the size of a PNG picture") {}

  // TGraphic
  // Draws the picture scaled to the rectangle, blending its alpha.
  void DrawInto(TCanvas& canvas, const TRect& rect) override;
  // Decodes everything from the position to the end. Bytes the reader refuses
  // raise EPNGError with kPNGErrorText and the reader's error number (Qt's
  // QImageReader::ImageReaderError: 3 unsupported format, 4 invalid data); a
  // picture over the pixel budget raises EOutOfMemory. On failure nothing changes.
  void ReadFromStream(TStream& stream) override;
};

}  // namespace qv
