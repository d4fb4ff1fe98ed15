// Link shim for the allocation counter on glibc 2.34 and later, where libc no longer offers
// `__pthread_mutex_lock` to new links (only as an old compatibility version). The counter's
// pthread_mutex_lock hook forwards to that name; this binds it to libc's implementation.
// Unneeded (and not built) under sanitizers, where the counter does not hook locks.
#include <pthread.h>

#if !defined(NORVO_SANITIZED) && defined(__GLIBC__) && defined(__x86_64__)

extern "C" int norvoLibcMutexLock(pthread_mutex_t* mutex);
__asm__(".symver norvoLibcMutexLock, __pthread_mutex_lock@GLIBC_2.2.5");

extern "C" int __pthread_mutex_lock(pthread_mutex_t* mutex) { return norvoLibcMutexLock(mutex); }
#endif
