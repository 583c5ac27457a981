// The JPEG picture's entries in the picture-format registry. Start-up calls
// RegisterJPEGFormats after every other format is registered, so that "jpeg"
// and "jpg" come last; shutdown calls UnregisterJPEGFormats.
#pragma once

namespace qv {

// Appends "jpeg" and "jpg" with TJPEGImage ("JPEG Image File") to PictureFormats().
void RegisterJPEGFormats();
// Removes every entry of TJPEGImage (and of classes derived from it).
void UnregisterJPEGFormats();

}  // namespace qv
