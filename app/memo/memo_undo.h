// Undo and redo of the text box's edits. An edit is stored as what it removed and
// how much it inserted: the inserted bytes are still in the text when it is undone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct TMemoEdit {
  int64_t pos = 0;
  std::string removed;       // bytes the edit took out at pos
  int64_t inserted = 0;      // bytes it put in at pos
  int64_t caret_before = 0;  // caret and anchor to restore on undo
  int64_t anchor_before = 0;
};

enum class TMemoEditKind { ekOther, ekTyping, ekBackspace, ekDelete };

class TMemoUndo {
 public:
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
  void PushRedo(TMemoEdit edit) { redo_.push_back(std::move(edit)); }
  void PushUndo(TMemoEdit edit) { undo_.push_back(std::move(edit)); }

 private:
  std::vector<TMemoEdit> undo_;
  std::vector<TMemoEdit> redo_;
  TMemoEditKind open_ = TMemoEditKind::ekOther;
};

}  // namespace qv
