// Loading a picture file the way the window's open command does, for the
// conversions that need a JPEG picture.
#pragma once

#include <string>

namespace qv {

class TJPEGImage;
class TPicture;

// Registers the picture formats as the window's start-up does (the JPEG
// entries after the built-in ones). Call once, before any loading.
void RegisterPictureFormats();

// The extension picks the picture class from the registry and the file is
// read into `container`, as the window's open command does. Fails with the
// window's texts: "Unknown picture file extension (.%s)", the open-failure
// text, and the picture class's own errors ("JPEG error #%d", ...).
void OpenPictureFile(const std::string& path, TPicture& container);

// OpenPictureFile, then the container's picture copied into `picture` as the
// conversion worker copies it: a picture of another kind fails with "Cannot
// assign a TPicture to a TJPEGImage". `picture` is unchanged on failure.
void LoadJPEGPictureFile(const std::string& path, TJPEGImage& picture);

}  // namespace qv
