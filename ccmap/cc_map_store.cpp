// CcMapStore: the main-thread half (publish, sweep, destruction). The reader half is inline
// in the header.
#include "ccmap/cc_map_store.h"

#include <new>

namespace norvo {

CcMapStore::CcMapStore() noexcept : current_(&initialMap_) {}

CcMapStore::CcMapStore(const CcMap& initial) noexcept
    : initialMap_(initial), current_(&initialMap_) {}

CcMapStore::~CcMapStore() {
  for (const Retired& entry : retired_) {
    delete entry.map;
  }
  CcMap* last = current_.load(std::memory_order_acquire);
  if (last != &initialMap_) {
    delete last;
  }
}

bool CcMapStore::publish(const CcMap& map) {
  CcMap* copy = new (std::nothrow) CcMap(map);
  if (copy == nullptr) {
    return false;
  }
  // Room for the replaced map is made before anything is published, so running out of memory
  // here also leaves the store as it was (and never leaks or frees a map the reader holds).
  try {
    if (retired_.size() == retired_.capacity()) {
      retired_.reserve(retired_.empty() ? 4 : retired_.size() * 2);
    }
  } catch (const std::bad_alloc&) {
    delete copy;
    return false;
  }
  CcMap* old = current_.exchange(copy, std::memory_order_seq_cst);
  if (old != &initialMap_) {
    retired_.push_back(Retired{old, epoch_.load(std::memory_order_acquire)});
  }
  sweep();
  changed_.store(true, std::memory_order_seq_cst);
  return true;
}

void CcMapStore::collect() { sweep(); }

void CcMapStore::sweep() {
  const std::uint64_t now = epoch_.load(std::memory_order_acquire);
  std::size_t kept = 0;
  for (const Retired& entry : retired_) {
    if (entry.epoch + 2 <= now) {
      delete entry.map;
    } else {
      retired_[kept++] = entry;
    }
  }
  retired_.resize(kept);
}

}  // namespace norvo
