// The text of the text box: UTF-8 bytes as a list of pieces, each a slice of either
// the text handed over whole or of the bytes added since. An edit anywhere costs a
// split of the list, never a copy or a move of the millions of bytes around it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class TMemoText {
 public:
  TMemoText() = default;
  TMemoText(const TMemoText&) = delete;
  TMemoText& operator=(const TMemoText&) = delete;

  // Replaces the whole text; takes over the string's buffer (no copy of the bytes).
  void Assign(std::string text);
  // The whole text as one string (a copy).
  std::string Str() const;
  // The whole text as one string, leaving this text empty: the buffer handed to
  // Assign moves out unchanged when no edit has touched it, else it is a copy
  // (and a failure to make it changes nothing).
  std::string Take();
  // Bytes [pos, pos + count), clipped to the text; a copy.
  std::string Mid(int64_t pos, int64_t count) const;

  int64_t Length() const { return length_; }
  // Byte at pos; pos must lie in [0, Length()).
  char At(int64_t pos) const {
    if (pos < hint_start_ || pos >= hint_end_) Seek(pos);
    return hint_data_[pos - hint_start_];
  }
  // Contiguous bytes starting at pos, up to the end of their piece: {pointer, length};
  // empty at the end of the text.
  std::string_view Run(int64_t pos) const;

  // Removes `count` bytes at pos and inserts `insert` there. Raises EOutOfMemory when
  // no room can be had for the inserted bytes; the text is then unchanged.
  void Replace(int64_t pos, int64_t count, std::string_view insert);

  // Bytes held for the text, its additions and its piece list.
  int64_t Capacity() const;
  int64_t PieceCount() const { return static_cast<int64_t>(pieces_.size()); }

 private:
  struct TPiece {
    const char* data;
    int64_t length;
  };
  size_t PieceAt(int64_t pos) const;  // the piece that holds pos (pos < length_)
  void Seek(int64_t pos) const;
  size_t SplitAt(int64_t pos);  // index of the piece that starts at pos
  const char* Store(std::string_view bytes);
  void Reindex(size_t from);

  std::string original_;                        // the text handed over by Assign
  std::vector<std::unique_ptr<char[]>> added_;  // bytes typed or pasted since, never moved
  int64_t added_bytes_ = 0;
  char* add_ = nullptr;  // the block being filled
  int64_t add_used_ = 0;
  int64_t add_size_ = 0;
  std::vector<TPiece> pieces_;
  std::vector<int64_t> starts_;  // text offset of each piece
  int64_t length_ = 0;
  // The piece of the last lookup: reading along the text needs no search.
  mutable const char* hint_data_ = nullptr;
  mutable int64_t hint_start_ = 0;
  mutable int64_t hint_end_ = 0;
};

}  // namespace qv
