// Shared helpers of the JPEG tests: corpus paths, files, and djpeg as the
// reference decoder.
#pragma once

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/streams.h"
#include "conversion/jpeg_image.h"
#include "tests/test_support.h"

namespace qv::testing_jpeg {

inline std::string CorpusFile(const std::string& name) {
  return testing_support::Corpus("jpeg/" + name);
}

using testing_support::ReadAll;

inline std::string Written(TJPEGImage& picture) {
  TMemoryStream stream;
  picture.WriteToStream(stream);
  return std::string(reinterpret_cast<const char*>(stream.Memory()),
                     static_cast<size_t>(stream.Size()));
}

using testing_support::LoadBytes;

// Output of a shell command (binary), empty when it fails.
inline std::string Capture(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = pclose(pipe);
#ifdef _WIN32
  const int code = status;  // the program's own exit code there
#else
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  // Exit status 2 is djpeg's "decoded with warnings".
  if (code != 0 && code != 2) out.clear();
  return out;
}

// A decoded picture as RGB triples, row 0 on top.
struct TRgbImage {
  int width = 0;
  int height = 0;
  int channels = 3;  // as decoded: 1 for grey
  std::vector<uint8_t> rgb;
};

// Parses binary PGM (P5) or PPM (P6) with maxval 255.
inline bool ParsePnm(const std::string& data, TRgbImage& image) {
  if (data.size() < 2 || data[0] != 'P' || (data[1] != '5' && data[1] != '6')) return false;
  const int channels = data[1] == '6' ? 3 : 1;
  size_t pos = 2;
  int values[3];
  for (int& v : values) {
    while (pos < data.size() &&
           (isspace(static_cast<unsigned char>(data[pos])) || data[pos] == '#')) {
      if (data[pos] == '#') {
        while (pos < data.size() && data[pos] != '\n') ++pos;
      } else {
        ++pos;
      }
    }
    v = 0;
    while (pos < data.size() && isdigit(static_cast<unsigned char>(data[pos])))
      v = v * 10 + (data[pos++] - '0');
  }
  ++pos;
  image.channels = channels;
  image.width = values[0];
  image.height = values[1];
  const size_t count = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  if (values[2] != 255 || data.size() - pos < count * channels) return false;
  image.rgb.resize(count * 3);
  const auto* p = reinterpret_cast<const uint8_t*>(data.data() + pos);
  for (size_t i = 0; i < count; ++i) {
    for (int c = 0; c < 3; ++c) image.rgb[i * 3 + c] = p[i * channels + (channels == 3 ? c : 0)];
  }
  return true;
}

// djpeg's decode of `path` with extra options (block smoothing is on by default in both).
inline TRgbImage Djpeg(const std::string& path, const std::string& options) {
  TRgbImage image;
  const std::string data = Capture("djpeg " + options + " -pnm '" + path + "' 2>/dev/null");
  EXPECT_TRUE(ParsePnm(data, image)) << "djpeg could not decode " << path;
  return image;
}

// The bitmap's pixels as RGB triples (8-bit through its palette).
inline TRgbImage ToRgb(const TBitmap& bitmap) {
  TRgbImage image;
  image.width = bitmap.Width();
  image.height = bitmap.Height();
  image.rgb.resize(static_cast<size_t>(image.width) * image.height * 3);
  const TPaletteHandle palette = bitmap.Palette();
  size_t i = 0;
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < image.width; ++x, i += 3) {
      if (bitmap.PixelFormat() == pf8bit) {
        const QRgb c = palette && row[x] < palette->Entries.size() ? palette->Entries[row[x]] : 0;
        image.rgb[i] = static_cast<uint8_t>(qRed(c));
        image.rgb[i + 1] = static_cast<uint8_t>(qGreen(c));
        image.rgb[i + 2] = static_cast<uint8_t>(qBlue(c));
      } else {
        image.rgb[i] = row[x * 3 + 2];
        image.rgb[i + 1] = row[x * 3 + 1];
        image.rgb[i + 2] = row[x * 3];
      }
    }
  }
  return image;
}

// Same size and pixels, or a description of the first difference.
inline ::testing::AssertionResult SamePixels(const TRgbImage& expected, const TRgbImage& actual,
                                             int tolerance = 0) {
  if (expected.width != actual.width || expected.height != actual.height) {
    return ::testing::AssertionFailure()
           << "size " << actual.width << "x" << actual.height << ", expected " << expected.width
           << "x" << expected.height;
  }
  size_t differing = 0, first = SIZE_MAX;
  for (size_t i = 0; i < expected.rgb.size(); ++i) {
    if (std::abs(expected.rgb[i] - actual.rgb[i]) > tolerance) {
      if (first == SIZE_MAX) first = i;
      ++differing;
    }
  }
  if (differing == 0) return ::testing::AssertionSuccess();
  const size_t pixel = first / 3;
  return ::testing::AssertionFailure()
         << differing << " samples differ; first at x=" << pixel % expected.width
         << " y=" << pixel / expected.width << ": " << int(actual.rgb[first]) << " instead of "
         << int(expected.rgb[first]);
}

// Restores DefaultJPEGSettings after a test changes them.
class SettingsGuard {
 public:
  SettingsGuard() : saved_(DefaultJPEGSettings) {}
  ~SettingsGuard() { DefaultJPEGSettings = saved_; }

 private:
  TJPEGDefaults saved_;
};

// The code of an EJPEG raised by `f`, -1 for EOutOfMemory, 0 when nothing is raised.
template <class F>
int JpegErrorOf(F&& f) {
  try {
    f();
  } catch (const EJPEG& e) {
    int code = 0;
    EXPECT_EQ(std::sscanf(e.Message().c_str(), "JPEG error #%d", &code), 1) << e.Message();
    return code;
  } catch (const EOutOfMemory& e) {
    EXPECT_EQ(e.Message(), "Out of memory");
    return -1;
  }
  return 0;
}

}  // namespace qv::testing_jpeg
