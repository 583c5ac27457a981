// The files an interrupt deletes: a few paths in the system's own spelling
// (char on Linux, wchar_t on Windows), each swapped in and out of its slot in
// one atomic step, so that a handler running at any moment, even inside a
// signal handler, sees a whole path or none and needs only the system's delete
// call. The platform file owns one table and installs the handler that walks it.
#pragma once

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace qv {

template <class Char>
class TInterruptPaths {
 public:
  static constexpr int kSlots = 8;

  // Holds a copy of `path`; with every slot taken it is not held (the file then
  // stays behind after an interrupt, as it would without this table).
  void Add(std::basic_string_view<Char> path) {
    auto* copy = static_cast<Char*>(std::malloc((path.size() + 1) * sizeof(Char)));
    if (copy == nullptr) return;
    std::memcpy(copy, path.data(), path.size() * sizeof(Char));
    copy[path.size()] = Char{};
    for (auto& slot : slots_) {
      Char* expected = nullptr;
      if (slot.compare_exchange_strong(expected, copy)) return;
    }
    std::free(copy);
  }

  // Lets go of one copy of `path`, if one is held. The handler may be walking
  // the table on another thread (Windows calls it on a thread of its own, and
  // a signal may arrive on any thread): a copy taken out while it does stays
  // allocated, since the handler may be using it; the process is ending then.
  void Remove(std::basic_string_view<Char> path) {
    for (auto& slot : slots_) {
      Char* held = slot.load();
      if (held != nullptr && path == held && slot.compare_exchange_strong(held, nullptr)) {
        if (walkers_.load() == 0) std::free(held);
        return;
      }
    }
  }

  // Calls `delete_file` with each path held; allocates nothing and takes no
  // lock, so an interrupt handler may call it.
  template <class DeleteFile>
  void DeleteAll(DeleteFile delete_file) const noexcept {
    // Counted before the first path is read: a Remove that empties a slot
    // after that sees the count and keeps the copy (all sequentially
    // consistent, so one that saw no walker emptied the slot before any read).
    walkers_.fetch_add(1);
    for (const auto& slot : slots_) {
      if (const Char* path = slot.load()) delete_file(path);
    }
    walkers_.fetch_sub(1);
  }

 private:
  static_assert(std::atomic<Char*>::is_always_lock_free);
  std::atomic<Char*> slots_[kSlots] = {};
  mutable std::atomic<int> walkers_ = 0;
  static_assert(std::atomic<int>::is_always_lock_free);
};

}  // namespace qv
