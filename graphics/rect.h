// A rectangle in pixels: left and top inside, right and bottom just outside.
#pragma once

#include <cstdint>

#include <QRect>

namespace qv {

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  QRect ToQRect() const { return QRect(Left, Top, Width(), Height()); }
  friend bool operator==(const TRect&, const TRect&) = default;
};

}  // namespace qv
