// Advances simple enough to work out by hand: every ASCII character is 10
// pixels wide, CJK characters 20 (in the layout's 1/64 px).
#pragma once

#include <cstdint>

namespace qv::testing_memo {

inline int32_t HandAdvance(char32_t cp) {
  return (cp >= 0x2E80 ? 20 : 10) * 64;
}

}  // namespace qv::testing_memo
