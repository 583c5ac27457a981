#include "app/memo/memo_undo.h"

namespace qv {

namespace {
int64_t Size(const TMemoEdit& edit) {
  return static_cast<int64_t>(edit.removed.size());
}
}  // namespace

void TMemoUndo::SetByteLimit(int64_t limit) {
  byte_limit_ = limit;
  Trim();
}

void TMemoUndo::Trim() {
  while (bytes_ > byte_limit_ && !redo_.empty()) {
    // The step farthest from the text as it is goes first.
    bytes_ -= Size(redo_.front());
    redo_.pop_front();
  }
  while (bytes_ > byte_limit_ && !undo_.empty()) {
    bytes_ -= Size(undo_.front());
    undo_.pop_front();
  }
}

void TMemoUndo::PushRedo(TMemoEdit edit) {
  bytes_ += Size(edit);
  redo_.push_back(std::move(edit));
  Trim();
}

void TMemoUndo::PushUndo(TMemoEdit edit) {
  bytes_ += Size(edit);
  undo_.push_back(std::move(edit));
  Trim();
}

void TMemoUndo::Record(TMemoEdit edit, TMemoEditKind kind) {
  for (const TMemoEdit& e : redo_) bytes_ -= Size(e);
  redo_.clear();
  if (Size(edit) > byte_limit_) {
    // Too big to keep: the steps before it cannot be undone without it either.
    Clear();
    return;
  }
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
      bytes_ += Size(edit);
      Trim();
      return;
    }
    if (kind == TMemoEditKind::ekDelete && edit.inserted == 0 && last.inserted == 0 &&
        edit.pos == last.pos) {
      last.removed += edit.removed;
      bytes_ += Size(edit);
      Trim();
      return;
    }
  }
  bytes_ += Size(edit);
  undo_.push_back(std::move(edit));
  open_ = kind;
  Trim();
}

void TMemoUndo::Clear() {
  undo_.clear();
  redo_.clear();
  bytes_ = 0;
  open_ = TMemoEditKind::ekOther;
}

TMemoEdit TMemoUndo::TakeUndo() {
  TMemoEdit e = std::move(undo_.back());
  undo_.pop_back();
  bytes_ -= Size(e);
  open_ = TMemoEditKind::ekOther;
  return e;
}

TMemoEdit TMemoUndo::TakeRedo() {
  TMemoEdit e = std::move(redo_.back());
  redo_.pop_back();
  bytes_ -= Size(e);
  open_ = TMemoEditKind::ekOther;
  return e;
}

}  // namespace qv
