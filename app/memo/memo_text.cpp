#include "app/memo/memo_text.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/exceptions.h"

namespace qv {

namespace {
// Small additions share blocks of this size; a big paste gets a block of its own.
constexpr int64_t kAddBlock = 64 * 1024;
// Past this many pieces the text is joined into one string again, so that lookups
// stay short however long the user edits.
constexpr size_t kMaxPieces = 1 << 16;
}  // namespace

void TMemoText::Assign(std::string text) {
  // Swapping (not move-assigning) frees the old buffer even when the new text is short.
  std::string(std::move(text)).swap(original_);
  added_.clear();
  added_bytes_ = 0;
  add_ = nullptr;
  add_used_ = add_size_ = 0;
  length_ = static_cast<int64_t>(original_.size());
  pieces_.clear();
  starts_.clear();
  if (length_ > 0) {
    pieces_.push_back({original_.data(), length_});
    starts_.push_back(0);
  }
  hint_data_ = nullptr;
  hint_start_ = hint_end_ = 0;
}

std::string TMemoText::Str() const {
  std::string out;
  out.reserve(static_cast<size_t>(length_));
  for (const TPiece& p : pieces_) out.append(p.data, static_cast<size_t>(p.length));
  return out;
}

std::string TMemoText::Take() {
  std::string out;
  if (pieces_.size() == 1 && pieces_[0].data == original_.data() &&
      pieces_[0].length == static_cast<int64_t>(original_.size())) {
    out.swap(original_);
  } else {
    out = Str();
  }
  Assign(std::string());
  return out;
}

std::string TMemoText::Mid(int64_t pos, int64_t count) const {
  pos = std::clamp<int64_t>(pos, 0, length_);
  count = std::clamp<int64_t>(count, 0, length_ - pos);
  std::string out;
  out.reserve(static_cast<size_t>(count));
  while (count > 0) {
    const std::string_view run = Run(pos);
    const int64_t n = std::min<int64_t>(count, static_cast<int64_t>(run.size()));
    out.append(run.data(), static_cast<size_t>(n));
    pos += n;
    count -= n;
  }
  return out;
}

size_t TMemoText::PieceAt(int64_t pos) const {
  auto it = std::upper_bound(starts_.begin(), starts_.end(), pos);
  return static_cast<size_t>(it - starts_.begin()) - 1;
}

void TMemoText::Seek(int64_t pos) const {
  const size_t k = PieceAt(pos);
  hint_data_ = pieces_[k].data;
  hint_start_ = starts_[k];
  hint_end_ = starts_[k] + pieces_[k].length;
}

std::string_view TMemoText::Run(int64_t pos) const {
  if (pos < 0 || pos >= length_) return {};
  if (pos < hint_start_ || pos >= hint_end_) Seek(pos);
  return {hint_data_ + (pos - hint_start_), static_cast<size_t>(hint_end_ - pos)};
}

size_t TMemoText::SplitAt(int64_t pos) {
  if (pos >= length_) return pieces_.size();
  const size_t k = PieceAt(pos);
  const int64_t offset = pos - starts_[k];
  if (offset == 0) return k;
  const TPiece tail{pieces_[k].data + offset, pieces_[k].length - offset};
  pieces_[k].length = offset;
  pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(k + 1), tail);
  starts_.insert(starts_.begin() + static_cast<std::ptrdiff_t>(k + 1), pos);
  return k + 1;
}

const char* TMemoText::Store(std::string_view bytes) {
  const int64_t n = static_cast<int64_t>(bytes.size());
  if (n > add_size_ - add_used_) {
    const int64_t size = std::max(kAddBlock, n);
    std::unique_ptr<char[]> block;
    try {
      block.reset(new char[static_cast<size_t>(size)]);
    } catch (const std::bad_alloc&) {
      RaiseOutOfMemory();
    }
    add_ = block.get();
    add_used_ = 0;
    add_size_ = size;
    added_.push_back(std::move(block));
    added_bytes_ += size;
  }
  char* at = add_ + add_used_;
  std::memcpy(at, bytes.data(), bytes.size());
  add_used_ += n;
  return at;
}

void TMemoText::Reindex(size_t from) {
  starts_.resize(pieces_.size());
  int64_t at = from == 0 ? 0 : starts_[from - 1] + pieces_[from - 1].length;
  for (size_t i = from; i < pieces_.size(); ++i) {
    starts_[i] = at;
    at += pieces_[i].length;
  }
}

void TMemoText::Replace(int64_t pos, int64_t count, std::string_view insert) {
  pos = std::clamp<int64_t>(pos, 0, length_);
  count = std::clamp<int64_t>(count, 0, length_ - pos);
  const int64_t n = static_cast<int64_t>(insert.size());
  if (count == 0 && n == 0) return;
  const char* stored = n > 0 ? Store(insert) : nullptr;  // the only step that can fail
  const size_t first = SplitAt(pos);
  const size_t last = SplitAt(pos + count);
  pieces_.erase(pieces_.begin() + static_cast<std::ptrdiff_t>(first),
                pieces_.begin() + static_cast<std::ptrdiff_t>(last));
  size_t from = first;
  if (n > 0) {
    if (first > 0 && pieces_[first - 1].data + pieces_[first - 1].length == stored) {
      // Typing on: the new bytes follow the previous ones in the same block.
      pieces_[first - 1].length += n;
      from = first - 1;
    } else {
      pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(first), TPiece{stored, n});
    }
  }
  length_ += n - count;
  Reindex(from);
  hint_data_ = nullptr;
  hint_start_ = hint_end_ = 0;
  if (pieces_.size() > kMaxPieces) Assign(Str());
}

int64_t TMemoText::Capacity() const {
  return static_cast<int64_t>(original_.capacity()) + added_bytes_ +
         static_cast<int64_t>(pieces_.capacity() * sizeof(TPiece) +
                              starts_.capacity() * sizeof(int64_t));
}

}  // namespace qv
