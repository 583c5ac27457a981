#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdlib>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "graphics/canvas.h"
#include "graphics/graphic.h"
#include "graphics/picture_budget.h"

namespace qv::fuzz {

void EnsureGuiApplication() {
  if (QGuiApplication::instance() != nullptr) return;
  // The budget follows the machine's memory, far above the fuzzer's allocation
  // limit (scripts/fuzz.sh): a picture may take 256 MiB here, so that a bigger
  // allocation is a finding and not a size the program allows.
  SetPictureBudgetCap(int64_t{256} << 20);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "fuzz";
  static char* argv[] = {name, nullptr};
  new QGuiApplication(argc, argv);  // lives as long as the process
  // The image readers warn about every broken input; the fuzzer's log is for findings.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

void FillStream(TMemoryStream& stream, const uint8_t* data, size_t size) {
  if (size > 0) stream.WriteBuffer(data, static_cast<int64_t>(size));
  stream.SetPosition(0);
}

void DrawSmall(TGraphic& graphic) {
  QImage surface(64, 64, QImage::Format_RGB32);
  surface.fill(Qt::white);
  QPainter painter(&surface);
  TCanvas canvas(painter);
  // The picture's own size decides the scale; the target is clipped by the surface.
  const int32_t width = std::clamp<int32_t>(graphic.Width(), 1, 4096);
  const int32_t height = std::clamp<int32_t>(graphic.Height(), 1, 4096);
  graphic.DrawInto(canvas, TRect{0, 0, width, height});
}

}  // namespace qv::fuzz
