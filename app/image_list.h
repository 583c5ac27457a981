// The toolbar's eight 16 x 16 icons: open folder, text page, landscape and
// exit door, each followed by a grey copy. Opaque colour with a 1-bit mask.
#pragma once

#include <QPixmap>
#include <vector>

namespace qv {

class TImageList {
 public:
  static constexpr int kSize = 16;
  // Loads the icons compiled into the program; one that cannot be read stays
  // a transparent square rather than stopping the window.
  TImageList();
  int Count() const { return static_cast<int>(images_.size()); }
  const QPixmap& Image(int index) const { return images_.at(static_cast<size_t>(index)); }

 private:
  std::vector<QPixmap> images_;
};

}  // namespace qv
