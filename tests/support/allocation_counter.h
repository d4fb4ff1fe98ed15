// Counts heap allocations and mutex locks made by the calling thread while a scope is armed.
// Used by the tests that prove realtime paths (kernel entry points, engine block path,
// processor process, ring producers) never allocate and never lock.
//
// A test binary that uses it links the `norvo_allocation_counter` object library, which
// replaces the global operator new/delete family and, in builds without sanitizers, also
// interposes malloc/calloc/realloc and pthread_mutex_lock. Under sanitizers only operator
// new is counted (the sanitizer runtimes own malloc), which still catches every standard
// container growth.
#pragma once

#include <cstdint>

namespace norvo::test {

struct AllocationCounts {
  std::uint64_t allocations = 0;  // operator new + malloc/calloc/realloc calls
  std::uint64_t locks = 0;        // pthread_mutex_lock calls (0 under sanitizers: not hooked)
};

// True when malloc and pthread_mutex_lock are hooked as well as operator new.
bool allocationHooksCoverMalloc() noexcept;

// Arms counting for the current thread for the lifetime of the scope.
class AllocationScope {
 public:
  AllocationScope() noexcept;
  ~AllocationScope();
  AllocationScope(const AllocationScope&) = delete;
  AllocationScope& operator=(const AllocationScope&) = delete;

  // Counts seen on this thread since the scope was armed.
  AllocationCounts counts() const noexcept;

 private:
  AllocationCounts start_;
};

}  // namespace norvo::test
