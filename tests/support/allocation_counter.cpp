// Replaces the global allocation functions so tests can count what a realtime path allocates.
// Counting is per thread and only while an AllocationScope is armed on that thread.
#include "support/allocation_counter.h"

#include <cstdlib>
#include <new>

#include <dlfcn.h>
#include <pthread.h>

namespace {

thread_local std::uint64_t tAllocations = 0;
thread_local std::uint64_t tLocks = 0;
thread_local int tArmed = 0;

inline void noteAllocation() noexcept {
  if (tArmed > 0) ++tAllocations;
}

void* allocateOrThrow(std::size_t size) {
  noteAllocation();
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void* allocateAlignedOrThrow(std::size_t size, std::align_val_t align) {
  noteAllocation();
  std::size_t a = static_cast<std::size_t>(align);
  if (a < sizeof(void*)) a = sizeof(void*);
  void* p = nullptr;
  if (posix_memalign(&p, a, size == 0 ? 1 : size) != 0) throw std::bad_alloc();
  return p;
}

}  // namespace

// Under sanitizers the runtime owns malloc and the pthread interceptors; only operator new
// is counted there. Otherwise malloc and mutex locks are interposed too.
#if !defined(NORVO_SANITIZED)
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);

void* malloc(std::size_t size) {
  if (tArmed > 0) ++tAllocations;
  return __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size) {
  if (tArmed > 0) ++tAllocations;
  return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size) {
  if (tArmed > 0) ++tAllocations;
  return __libc_realloc(p, size);
}
int pthread_mutex_lock(pthread_mutex_t* m) {
  using LockFn = int (*)(pthread_mutex_t*);
  static LockFn real = reinterpret_cast<LockFn>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
  if (tArmed > 0) ++tLocks;
  return real(m);
}
}
#endif

// operator new under counting: malloc is hooked too in unsanitized builds, so new is counted
// once by disarming around the inner malloc.
namespace {
struct InnerMalloc {
  InnerMalloc() noexcept { --tArmed; }
  ~InnerMalloc() { ++tArmed; }
};
}  // namespace

void* operator new(std::size_t size) {
  if (tArmed > 0) {
    ++tAllocations;
    InnerMalloc inner;
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
  }
  return allocateOrThrow(size);
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return operator new(size, std::nothrow);
}
void* operator new(std::size_t size, std::align_val_t align) {
  if (tArmed > 0) {
    ++tAllocations;
    InnerMalloc inner;
    std::size_t a = static_cast<std::size_t>(align);
    if (a < sizeof(void*)) a = sizeof(void*);
    void* p = nullptr;
    if (posix_memalign(&p, a, size == 0 ? 1 : size) != 0) throw std::bad_alloc();
    return p;
  }
  return allocateAlignedOrThrow(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align) { return operator new(size, align); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace norvo::test {

bool allocationHooksCoverMalloc() noexcept {
#if defined(NORVO_SANITIZED)
  return false;
#else
  return true;
#endif
}

AllocationScope::AllocationScope() noexcept {
  start_.allocations = tAllocations;
  start_.locks = tLocks;
  ++tArmed;
}

AllocationScope::~AllocationScope() { --tArmed; }

AllocationCounts AllocationScope::counts() const noexcept {
  AllocationCounts c;
  c.allocations = tAllocations - start_.allocations;
  c.locks = tLocks - start_.locks;
  return c;
}

}  // namespace norvo::test
