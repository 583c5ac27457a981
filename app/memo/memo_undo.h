// Undo and redo of the text box's edits. An edit is stored as what it removed and
// how much it inserted: the inserted bytes are still in the text when it is undone.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

namespace qv {

struct TMemoEdit {
  int64_t pos = 0;
  std::string removed;       // bytes the edit took out at pos
  int64_t inserted = 0;      // bytes it put in at pos
  int64_t caret_before = 0;  // caret and anchor to restore on undo
  int64_t anchor_before = 0;
};

enum class TMemoEditKind { ekOther, ekTyping, ekBackspace, ekDelete };

// The history keeps at most ByteLimit() bytes of removed text (undo and redo
// together): past it the oldest steps go first, and a step bigger than the
// limit alone empties the history, since the steps under it need its text.
class TMemoUndo {
 public:
  // 64 MiB: a replaced text of 20 million characters, or three of them, stays
  // undoable; more would double the box's memory for a history few users reach.
  static constexpr int64_t kDefaultByteLimit = int64_t{64} << 20;

  explicit TMemoUndo(int64_t byte_limit = kDefaultByteLimit) : byte_limit_(byte_limit) {}
  int64_t ByteLimit() const { return byte_limit_; }
  void SetByteLimit(int64_t limit);
  // Bytes of removed text held for undo and redo.
  int64_t Bytes() const { return bytes_; }

  // Records an edit made by the user. Consecutive typing, Backspace or Delete merges
  // into one step until Break() is called. Clears the redo list.
  void Record(TMemoEdit edit, TMemoEditKind kind);
  // Ends the current group (caret moved, focus changed, another kind of edit).
  void Break() { open_ = TMemoEditKind::ekOther; }
  void Clear();

  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  // Hands out the step to reverse; the caller applies it and files its inverse with
  // PushRedo / PushUndo.
  TMemoEdit TakeUndo();
  TMemoEdit TakeRedo();
  void PushRedo(TMemoEdit edit);
  void PushUndo(TMemoEdit edit);

 private:
  // Drops the oldest steps while the history holds more than its limit.
  void Trim();

  std::deque<TMemoEdit> undo_;
  std::deque<TMemoEdit> redo_;
  int64_t byte_limit_;
  int64_t bytes_ = 0;
  TMemoEditKind open_ = TMemoEditKind::ekOther;
};

}  // namespace qv
