#include "app/memo/memo_layout.h"

#include <algorithm>
#include <cstddef>

namespace qv {

// ---- TLineStarts ----

int64_t TLineStarts::Find(int64_t pos) const {
  if (wide_) {
    auto it = std::upper_bound(w_.begin(), w_.end(), static_cast<uint64_t>(pos));
    return std::max<int64_t>(0, (it - w_.begin()) - 1);
  }
  const uint64_t limit = std::min<uint64_t>(static_cast<uint64_t>(pos), UINT32_MAX);
  auto it =
      std::upper_bound(n_.begin(), n_.end(), limit, [](uint64_t v, uint32_t e) { return v < e; });
  return std::max<int64_t>(0, (it - n_.begin()) - 1);
}

void TLineStarts::Reset(bool wide) {
  wide_ = wide;
  n_.clear();
  w_.clear();
}

void TLineStarts::Widen() {
  if (wide_) return;
  w_.assign(n_.begin(), n_.end());
  n_.clear();
  n_.shrink_to_fit();
  wide_ = true;
}

void TLineStarts::PushBack(int64_t start) {
  if (wide_) {
    w_.push_back(static_cast<uint64_t>(start));
  } else {
    n_.push_back(static_cast<uint32_t>(start));
  }
}

void TLineStarts::ShrinkToFit() {
  // A doubling vector can hold twice what it needs; the index must stay small.
  if (n_.capacity() > n_.size() + n_.size() / 16 + 64) n_.shrink_to_fit();
  if (w_.capacity() > w_.size() + w_.size() / 16 + 64) w_.shrink_to_fit();
}

namespace {
template <typename T>
void SpliceInto(std::vector<T>& v, int64_t first, int64_t last, const std::vector<int64_t>& starts,
                int64_t delta) {
  const size_t f = static_cast<size_t>(first), l = static_cast<size_t>(last);
  const size_t old_count = l - f, new_count = starts.size();
  if (new_count > old_count) {
    const size_t grow = new_count - old_count;
    if (v.size() + grow > v.capacity()) v.reserve(v.size() + grow + v.size() / 16 + 64);
    v.insert(v.begin() + static_cast<std::ptrdiff_t>(l), grow, T{});
  } else if (new_count < old_count) {
    v.erase(v.begin() + static_cast<std::ptrdiff_t>(f + new_count),
            v.begin() + static_cast<std::ptrdiff_t>(l));
  }
  for (size_t i = 0; i < new_count; ++i) v[f + i] = static_cast<T>(starts[i]);
  if (delta != 0) {
    // Unsigned wrap-around adds a negative delta correctly.
    const T d = static_cast<T>(delta);
    T* p = v.data();
    for (size_t i = f + new_count, n = v.size(); i < n; ++i) p[i] += d;
  }
}
}  // namespace

void TLineStarts::Splice(int64_t first, int64_t last, const std::vector<int64_t>& starts,
                         int64_t delta) {
  if (wide_) {
    SpliceInto(w_, first, last, starts, delta);
  } else {
    SpliceInto(n_, first, last, starts, delta);
  }
}

int64_t TLineStarts::Bytes() const {
  return static_cast<int64_t>(n_.capacity() * sizeof(uint32_t) + w_.capacity() * sizeof(uint64_t));
}

// ---- TMemoAdvances ----

TMemoAdvances::TMemoAdvances() : TMemoAdvances([](char32_t) { return 7 * 64; }) {}

TMemoAdvances::TMemoAdvances(TMeasure measure) : measure_(std::move(measure)) {
  for (int c = 0; c < 256; ++c) {
    const bool special = c == ' ' || c == '\t' || c == '\r' || c == '\n' || c >= 0x80;
    fast_[static_cast<size_t>(c)] = special ? -1 : std::max(0, measure_(static_cast<char32_t>(c)));
  }
  // Tab stops every eight average characters.
  tab_stop_ = std::max(64, 8 * std::max(0, measure_(U'x')));
}

TMemoAdvances::TMemoAdvances(const TMemoAdvances& known, TMeasure measure)
    : measure_(std::move(measure)),
      fast_(known.fast_),
      tab_stop_(known.tab_stop_),
      cache_(known.cache_) {}

int32_t TMemoAdvances::Of(char32_t cp) const {
  if (cp < 0x80 && fast_[cp] >= 0) return fast_[cp];
  auto it = cache_.find(cp);
  if (it != cache_.end()) return it->second;
  const int32_t a = std::max(0, measure_(cp));
  cache_.emplace(cp, a);
  return a;
}

// ---- decoding ----

char32_t DecodeMemoChar(const TMemoText& text, int64_t pos, int* length) {
  const int64_t len = text.Length();
  const unsigned char b0 = static_cast<unsigned char>(text.At(pos));
  *length = 1;
  if (b0 < 0x80) return b0;
  int need;
  char32_t cp;
  if ((b0 & 0xE0) == 0xC0 && b0 >= 0xC2) {
    need = 1;
    cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    need = 2;
    cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0 && b0 <= 0xF4) {
    need = 3;
    cp = b0 & 0x07;
  } else {
    return 0xFFFD;
  }
  if (pos + need >= len) return 0xFFFD;
  for (int i = 1; i <= need; ++i) {
    const unsigned char b = static_cast<unsigned char>(text.At(pos + i));
    if ((b & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (b & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are malformed.
  if ((need == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
      (need == 3 && (cp < 0x10000 || cp > 0x10FFFF))) {
    return 0xFFFD;
  }
  *length = need + 1;
  return cp;
}

bool IsMemoBreakAnywhere(char32_t cp) {
  return (cp >= 0x2E80 && cp <= 0x9FFF) || (cp >= 0xAC00 && cp <= 0xD7AF) ||
         (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFF00 && cp <= 0xFFEF) ||
         (cp >= 0x20000 && cp <= 0x3FFFF);
}

// ---- TMemoLayout ----

int32_t TMemoLayout::AdvanceAt(const TMemoText& text, int64_t pos, int32_t x, int* length) const {
  const unsigned char c = static_cast<unsigned char>(text.At(pos));
  const int32_t fast = advances_->Fast(c);
  *length = 1;
  if (fast >= 0) return fast;
  if (c == '\r' || c == '\n') return 0;
  if (c == '\t') {
    const int32_t stop = advances_->TabStop();
    return stop - (x % stop);
  }
  if (c == ' ') return advances_->Of(U' ');
  return advances_->Of(DecodeMemoChar(text, pos, length));
}

// The character at `at` does not fit on the line that starts at `start`; `brk` is the
// last place after a space or around a CJK character where the line may end.
int64_t TMemoLayout::Overflow(const TMemoText& text, int64_t start, int64_t at, int64_t brk) const {
  const int64_t len = text.Length();
  const char c = text.At(at);
  if (c == ' ' || c == '\t') {
    // Spaces that do not fit hang past the edge; a line break right after them ends
    // this line, so that it makes no empty line of its own.
    int64_t q = at;
    while (q < len && (text.At(q) == ' ' || text.At(q) == '\t')) ++q;
    if (q == len) return kNoLine;
    if (text.At(q) == '\n') return q + 1;
    if (text.At(q) == '\r') return q + 1 < len && text.At(q + 1) == '\n' ? q + 2 : q + 1;
    return q;
  }
  int length = 1;
  const char32_t cp = DecodeMemoChar(text, at, &length);
  if (at > start && IsMemoBreakAnywhere(cp)) return at;
  if (brk > start) return brk;
  if (at > start) return at;
  // Not even one character fits: it gets the line to itself, with the line break
  // that may follow it.
  const int64_t q = at + length;
  if (q >= len) return kNoLine;
  if (text.At(q) == '\n') return q + 1;
  if (text.At(q) == '\r') return q + 1 < len && text.At(q + 1) == '\n' ? q + 2 : q + 1;
  return q;
}

int64_t TMemoLayout::NextLineStart(const TMemoText& text, int64_t start) const {
  const int64_t len = text.Length();
  const int32_t width = width_;
  int32_t x = 0;
  int64_t brk = -1;
  int64_t p = start;
  while (p < len) {
    // Plain one-byte characters: the hot loop for hex text.
    const std::string_view run = text.Run(p);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(run.data());
    const unsigned char* q = b;
    const unsigned char* e = b + run.size();
    // Eight at a time while all eight are plain and fit: their advances add up as a
    // tree, so the running width waits for one addition per eight characters.
    const int32_t* fast = advances_->FastTable();
    while (e - q >= 8) {
      const int32_t a0 = fast[q[0]], a1 = fast[q[1]], a2 = fast[q[2]], a3 = fast[q[3]];
      const int32_t a4 = fast[q[4]], a5 = fast[q[5]], a6 = fast[q[6]], a7 = fast[q[7]];
      if ((a0 | a1 | a2 | a3 | a4 | a5 | a6 | a7) < 0) break;
      const int32_t sum = ((a0 + a1) + (a2 + a3)) + ((a4 + a5) + (a6 + a7));
      if (x + sum > width) break;
      x += sum;
      q += 8;
    }
    while (q < e) {
      const int32_t a = fast[*q];
      if (a < 0) break;
      if (x + a > width) return Overflow(text, start, p + (q - b), brk);
      x += a;
      ++q;
    }
    p += q - b;
    if (q == e) continue;  // reached the end of a piece or of the text
    const unsigned char c = *q;
    if (c == '\n') return p + 1;
    if (c == '\r') return p + 1 < len && text.At(p + 1) == '\n' ? p + 2 : p + 1;
    int length = 1;
    const int32_t a = AdvanceAt(text, p, x, &length);
    if (x + a > width) return Overflow(text, start, p, brk);
    x += a;
    if (c == ' ' || c == '\t') {
      brk = p + 1;
    } else {
      const char32_t cp = DecodeMemoChar(text, p, &length);
      if (IsMemoBreakAnywhere(cp)) brk = p + length;
    }
    p += length;
  }
  return kNoLine;
}

void TMemoLayout::Rewrap(const TMemoText& text) {
  starts_.Reset(text.Length() > static_cast<int64_t>(UINT32_MAX));
  int64_t s = 0;
  starts_.PushBack(0);
  for (;;) {
    s = NextLineStart(text, s);
    if (s == kNoLine) break;
    starts_.PushBack(s);
  }
  starts_.ShrinkToFit();
}

void TMemoLayout::Update(const TMemoText& text, int64_t pos, int64_t removed, int64_t inserted) {
  if (text.Length() > static_cast<int64_t>(UINT32_MAX)) starts_.Widen();
  const int64_t delta = inserted - removed;
  const int64_t tail_old = pos + removed;  // first byte after the edit, old numbering
  // A line's break is decided by the first character that does not fit on it. That
  // character lies at the latest where the line after next starts (the next line holds
  // everything between the break and it, there being no other place to break), and
  // its decoding reads up to three bytes more. Lines before the one ahead of the line
  // that holds byte pos - 4 therefore keep their breaks; wrapping starts there.
  const int64_t first = std::max<int64_t>(0, starts_.Find(std::max<int64_t>(0, pos - 4)) - 1);
  const int64_t n = starts_.Size();
  std::vector<int64_t> fresh;
  int64_t j = first + 1;
  int64_t s = starts_[first];
  for (;;) {
    s = NextLineStart(text, s);
    if (s == kNoLine) {
      starts_.Splice(first + 1, n, fresh, 0);
      break;
    }
    // Old lines that start inside the edit, or before s once shifted, are gone.
    while (j < n && (starts_[j] < tail_old || starts_[j] + delta < s)) ++j;
    if (j < n && starts_[j] + delta == s) {
      // From here on the text and therefore the wrap are the old ones, shifted.
      starts_.Splice(first + 1, j, fresh, delta);
      break;
    }
    fresh.push_back(s);
  }
}

int64_t TMemoLayout::LineEnd(const TMemoText& text, int64_t line) const {
  const int64_t start = starts_[line];
  const int64_t limit = LineLimit(text, line);
  if (line + 1 >= starts_.Size() || limit <= start) return limit;
  const char last = text.At(limit - 1);
  if (last == '\n') return limit - 2 >= start && text.At(limit - 2) == '\r' ? limit - 2 : limit - 1;
  if (last == '\r') return limit - 1;
  return limit;
}

bool TMemoLayout::IsSoftBreak(const TMemoText& text, int64_t line) const {
  return line + 1 < starts_.Size() && LineEnd(text, line) == LineLimit(text, line);
}

}  // namespace qv
