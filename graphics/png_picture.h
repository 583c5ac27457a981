// The PNG picture: keeps the file's bytes, decodes them with Qt's image
// reader (libpng underneath) when read, and draws the decoded image scaled.
#pragma once

#include <cstdint>

#include <QByteArray>
#include <QImage>

#include "base/exceptions.h"
#include "graphics/graphic.h"

namespace qv {

// The imaging library refused an operation; not an EInvalidGraphic.
QV_DECLARE_EXCEPTION(EPNGError, Exception);

// "Invalid operation in GDI+ (Code: %d)" for an imaging status code.
inline constexpr const char* kPNGErrorText = "Invalid operation in GDI+ (Code: %d)";

class TPNGPicture : public TGraphic {
  QV_GRAPHIC_CLASS(TPNGPicture)

 public:
  TPNGPicture() = default;

  // The decoded picture (null when empty).
  const QImage& Image() const { return image_; }

  // TGraphic
  // From a TPNGPicture: shares its bytes and image.
  void AssignFrom(TPersistent* source) override;
  // Draws the picture scaled to the rectangle, blending its alpha.
  void DrawInto(TCanvas& canvas, const TRect& rect) override;
  bool IsEmpty() const override { return image_.isNull(); }
  int32_t Height() const override { return image_.height(); }
  int32_t Width() const override { return image_.width(); }
  // A PNG picture's size is its image's: EInvalidGraphicOperation.
  void SetHeight(int32_t height) override;
  void SetWidth(int32_t width) override;
  // Decodes everything from the position to the end. Bytes the reader refuses
  // raise EPNGError with kPNGErrorText and the reader's error number (Qt's
  // QImageReader::ImageReaderError: 3 unsupported format, 4 invalid data); a
  // picture over the pixel budget raises EOutOfMemory. On failure nothing changes.
  void ReadFromStream(TStream& stream) override;
  // Writes the bytes as read.
  void WriteToStream(TStream& stream) override;
  // No clipboard exchange: EInvalidGraphicOperation.
  void ReadFromClipboard(TClipboardFormat format, const TClipboardData& data,
                         TPaletteHandle palette) override;
  void WriteToClipboard(TClipboardFormat& format, TClipboardData& data,
                        TPaletteHandle& palette) override;

 private:
  QByteArray bytes_;
  QImage image_;
};

}  // namespace qv
