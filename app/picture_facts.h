// What people check first about a picture, for the picture boxes' tooltips:
// the file, its size, width × height and, for a JPEG picture, baseline or
// progressive, the colour components and their sampling.
#pragma once

#include <QString>
#include <cstdint>
#include <string>

namespace qv {

class TPicture;

// Empty for an empty box. `file_name` (the preview's file) is shown when given.
QString PictureToolTip(TPicture& picture, const std::string& file_name);

// "4:2:0" and the like from the sampling factors of a YCbCr picture's three
// components; "2×2, 1×1, 1×1" for what has no usual name.
std::string SamplingName(int components, const uint8_t* h, const uint8_t* v);

}  // namespace qv
