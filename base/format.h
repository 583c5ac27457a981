// printf-style formatting of the system's message texts ("JPEG error #%d").
#pragma once

#include <string>

namespace qv {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace qv
