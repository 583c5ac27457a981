#include "app/memo/memo_undo.h"

namespace qv {

void TMemoUndo::Record(TMemoEdit edit, TMemoEditKind kind) {
  redo_.clear();
  if (kind != TMemoEditKind::ekOther && kind == open_ && !undo_.empty()) {
    TMemoEdit& last = undo_.back();
    if (kind == TMemoEditKind::ekTyping && edit.removed.empty() &&
        edit.pos == last.pos + last.inserted) {
      last.inserted += edit.inserted;
      return;
    }
    if (kind == TMemoEditKind::ekBackspace && edit.inserted == 0 && last.inserted == 0 &&
        edit.pos + static_cast<int64_t>(edit.removed.size()) == last.pos) {
      last.removed.insert(0, edit.removed);
      last.pos = edit.pos;
      return;
    }
    if (kind == TMemoEditKind::ekDelete && edit.inserted == 0 && last.inserted == 0 &&
        edit.pos == last.pos) {
      last.removed += edit.removed;
      return;
    }
  }
  undo_.push_back(std::move(edit));
  open_ = kind;
}

void TMemoUndo::Clear() {
  undo_.clear();
  redo_.clear();
  open_ = TMemoEditKind::ekOther;
}

TMemoEdit TMemoUndo::TakeUndo() {
  TMemoEdit e = std::move(undo_.back());
  undo_.pop_back();
  open_ = TMemoEditKind::ekOther;
  return e;
}

TMemoEdit TMemoUndo::TakeRedo() {
  TMemoEdit e = std::move(redo_.back());
  redo_.pop_back();
  open_ = TMemoEditKind::ekOther;
  return e;
}

}  // namespace qv
