// The text box's edit model: a run of replacements on the piece text and its
// wrap index. After every edit the text equals a plain string edited the same
// way, and the wrap kept up edit by edit equals a full re-wrap of the text.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/memo/memo_layout.h"
#include "app/memo/memo_text.h"

using namespace qv;

namespace {

// Advances that vary by character, zero included (combining marks have none).
int32_t Measure(char32_t cp) {
  return static_cast<int32_t>((static_cast<uint32_t>(cp) * 2654435761u) >> 28) * 24;
}

class TReader {
 public:
  TReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Done() const { return at_ >= size_; }
  uint32_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint32_t Word() { return Byte() | (Byte() << 8); }
  std::string_view Bytes(size_t n) {
    n = std::min(n, size_ - at_);
    std::string_view bytes(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return bytes;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

void Check(const TMemoText& text, const std::string& model, const TMemoLayout& layout,
           const TMemoAdvances& advances) {
  if (text.Length() != static_cast<int64_t>(model.size()) || text.Str() != model) std::abort();
  TMemoLayout fresh;
  fresh.SetAdvances(&advances);
  fresh.SetWidth(layout.Width());
  fresh.Rewrap(text);
  if (fresh.LineCount() != layout.LineCount()) std::abort();
  for (int64_t i = 0; i < fresh.LineCount(); ++i) {
    if (fresh.LineStart(i) != layout.LineStart(i)) std::abort();
  }
  for (int64_t i = 0; i < layout.LineCount(); ++i) {
    const int64_t start = layout.LineStart(i);
    if (layout.LineOf(start) != i) std::abort();
    if (layout.LineEnd(text, i) < start || layout.LineEnd(text, i) > layout.LineLimit(text, i))
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  TReader in(data, size);
  const TMemoAdvances advances(Measure);
  TMemoLayout layout;
  layout.SetAdvances(&advances);
  layout.SetWidth(static_cast<int32_t>(in.Byte() * 16));
  TMemoText text;
  std::string model(in.Bytes(in.Byte()));
  text.Assign(model);
  layout.Rewrap(text);
  Check(text, model, layout, advances);
  while (!in.Done()) {
    const uint32_t op = in.Byte();
    if (op == 0xFF) {  // a resize: full re-wrap at a new width
      layout.SetWidth(static_cast<int32_t>(in.Word()));
      layout.Rewrap(text);
      Check(text, model, layout, advances);
      continue;
    }
    const int64_t length = static_cast<int64_t>(model.size());
    const int64_t pos = length == 0 ? 0 : static_cast<int64_t>(in.Word()) % (length + 1);
    const int64_t count = std::min<int64_t>(op & 0x1F, length - pos);
    const std::string_view insert = in.Bytes(op >> 5);
    text.Replace(pos, count, insert);
    model.replace(static_cast<size_t>(pos), static_cast<size_t>(count), insert);
    layout.Update(text, pos, count, static_cast<int64_t>(insert.size()));
    Check(text, model, layout, advances);
  }
  return 0;
}
