#include "conversion/jpeg_registration.h"

#include "conversion/jpeg_image.h"
#include "graphics/picture_formats.h"

namespace qv {

namespace {

constexpr const char* kJPEGFormatName = "JPEG Image File";

}  // namespace

void RegisterJPEGFormats() {
  TFileFormatsList& formats = PictureFormats();
  formats.RegisterPictureFormat("jpeg", kJPEGFormatName, GraphicClassOf<TJPEGImage>());
  formats.RegisterPictureFormat("jpg", kJPEGFormatName, GraphicClassOf<TJPEGImage>());
}

void UnregisterJPEGFormats() {
  PictureFormats().UnregisterPictureClass(GraphicClassOf<TJPEGImage>());
}

}  // namespace qv
