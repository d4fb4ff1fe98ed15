// CcMapStore: hands a new CC map from the main thread to the audio thread without locks.
// The main thread publishes heap copies and sweeps replaced ones; the audio thread reads the
// current map once per block and advances an epoch after the block, and a replaced map is
// freed only once the epoch has moved twice past its replacement, when no block that could
// have loaded it is still running. One publishing (main) thread, one reading (audio) thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ccmap/cc_map.h"

namespace norvo {

class CcMapStore {
 public:
  // A replaced map waiting until the reader can no longer hold it.
  struct Retired {
    CcMap* map = nullptr;
    std::uint64_t epoch = 0;  // reader epoch when the map was replaced
  };

  // Starts with an empty map (or `initial`) held inside the store. Main thread.
  CcMapStore() noexcept;
  explicit CcMapStore(const CcMap& initial) noexcept;
  // Frees every retired map and the current one unless it is the embedded map. Main thread,
  // after the reader has stopped.
  ~CcMapStore();
  CcMapStore(const CcMapStore&) = delete;
  CcMapStore& operator=(const CcMapStore&) = delete;

  // Publishes a copy of `map`. False when memory ran out; the current map then stays.
  // Main thread only.
  bool publish(const CcMap& map);

  // Frees the retired maps the reader can no longer hold. Main thread only.
  void collect();

  // Maps replaced but not yet freed. Main thread only.
  std::size_t retiredCount() const noexcept { return retired_.size(); }

  // Reader side. The audio thread calls readForBlock once at the start of a block and uses
  // that map for the whole block, then endBlock after it. Audio thread only.
  const CcMap& readForBlock() const noexcept { return *current_.load(std::memory_order_acquire); }
  void endBlock() noexcept { epoch_.fetch_add(1, std::memory_order_release); }

  // True once after each publish (or several): lets the reader reset per-map memory even when
  // a new map happens to reuse a freed map's address. Audio thread only.
  bool takeChanged() noexcept { return changed_.exchange(false, std::memory_order_acq_rel); }

 private:
  void sweep();

  CcMap initialMap_;
  std::atomic<CcMap*> current_;
  std::atomic<std::uint64_t> epoch_{0};
  std::atomic<bool> changed_{false};
  std::vector<Retired> retired_;
};

}  // namespace norvo
