// Loading a picture file the way the window's open command does, for the
// conversions that need a JPEG picture.
#pragma once

#include <string>

namespace qv {

class TJPEGImage;

// The extension picks the picture class; the file is read into a new picture
// of it, which is then copied into `picture`. Fails with the window's texts:
// "Unknown picture file extension (.%s)", the open-failure text, the picture
// class's own errors ("JPEG error #%d"), and "Cannot assign a TPicture to a
// TJPEGImage" for a picture of another kind. `picture` is unchanged on failure.
void LoadJPEGPictureFile(const std::string& path, TJPEGImage& picture);

// True when the name's extension has a picture class (so the window would
// open it as a picture); anything else is taken for hex text.
bool IsPictureFileName(const std::string& path);

}  // namespace qv
