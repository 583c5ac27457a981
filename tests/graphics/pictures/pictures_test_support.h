// Shared helpers of the picture tests: a GUI application for Qt's image
// readers and fonts, corpus paths, byte fixtures and drawing into an image.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "base/exceptions.h"
#include "base/streams.h"
#include "graphics/canvas.h"
#include "graphics/graphic.h"
#include "tests/test_support.h"

namespace qv::testing {

inline void EnsureGuiApplication() {
  static int argc = 1;
  static char name[] = "test_pictures";
  static char* argv[] = {name, nullptr};
  if (QGuiApplication::instance() == nullptr) new QGuiApplication(argc, argv);
}

class PictureTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureGuiApplication(); }
};

using testing_support::Corpus;

inline std::vector<uint8_t> ReadAll(const std::string& path) {
  const std::string bytes = testing_support::ReadAll(path);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

inline void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

using testing_support::LoadBytes;

// The error a read gives: "<class>: <message>", or "ok".
template <class Picture>
std::string ReadOutcome(const std::vector<uint8_t>& bytes) {
  Picture picture;
  try {
    LoadBytes(picture, bytes);
    return "ok";
  } catch (const Exception& e) {
    return std::string(e.ClassName()) + ": " + e.Message();
  }
}

// Draws with `draw` into a width x height image filled with `background`.
template <class Draw>
QImage Render(int width, int height, QRgb background, Draw draw) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(background);
  QPainter painter(&image);
  TCanvas canvas(painter);
  draw(canvas);
  painter.end();
  return image;
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

}  // namespace qv::testing
