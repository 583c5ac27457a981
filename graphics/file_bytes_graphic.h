// Pictures that keep their file's bytes as read (icons, PNG pictures,
// metafiles): they write those bytes back unchanged, cannot be exchanged
// through the clipboard, and read their file whole within the picture budget.
#pragma once

#include <cstdint>

#include <QByteArray>
#include <QImage>

#include "graphics/graphic.h"

namespace qv {

// Room a picture file may take beyond the budget for its pixels: headers, a
// palette, metadata, and what compression adds to pixels that do not compress.
inline constexpr int64_t kPictureFileMargin = int64_t{1} << 20;

// Everything from the stream's position to its end, for a picture that keeps
// or decodes its file whole. More than PictureBudget() + kPictureFileMargin
// bytes is refused with EOutOfMemory "Out of memory" before any is buffered;
// no picture within the budget comes in a file that large.
QByteArray ReadPictureFile(TStream& stream);

class TFileBytesGraphic : public TGraphic {
 public:
  // The file as read (empty when nothing was read).
  const QByteArray& Bytes() const { return bytes_; }

  // TGraphic
  // Writes the bytes as read.
  void WriteToStream(TStream& stream) override;
  // No clipboard exchange: EInvalidGraphicOperation with the class's text.
  void ReadFromClipboard(TClipboardFormat format, const TClipboardData& data,
                         TPaletteHandle palette) override;
  void WriteToClipboard(TClipboardFormat& format, TClipboardData& data,
                        TPaletteHandle& palette) override;

 protected:
  explicit TFileBytesGraphic(const char* no_clipboard_text)
      : no_clipboard_text_(no_clipboard_text) {}

  QByteArray bytes_;

 private:
  const char* no_clipboard_text_;
};

// A kept-bytes picture shown from the image decoded from its bytes, whose
// size it has.
class TFileImageGraphic : public TFileBytesGraphic {
 public:
  // The decoded image (null when empty).
  const QImage& Image() const { return image_; }

  // TGraphic
  // From a picture of the same class: shares its bytes and image.
  void AssignFrom(TPersistent* source) override;
  bool IsEmpty() const override { return image_.isNull(); }
  int32_t Height() const override { return image_.height(); }
  int32_t Width() const override { return image_.width(); }
  // The size is the image's: EInvalidGraphicOperation with the class's text.
  void SetHeight(int32_t height) override;
  void SetWidth(int32_t width) override;

 protected:
  TFileImageGraphic(const char* no_clipboard_text, const char* fixed_size_text)
      : TFileBytesGraphic(no_clipboard_text), fixed_size_text_(fixed_size_text) {}

  // Takes the bytes and the image decoded from them, and notifies the change.
  void Keep(QByteArray bytes, QImage image);

 private:
  const char* fixed_size_text_;
  QImage image_;
};

}  // namespace qv
