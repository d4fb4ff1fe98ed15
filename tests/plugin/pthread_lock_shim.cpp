// Link shim for the allocation counter on glibc 2.34 and later, where __pthread_mutex_lock is
// only a versioned compatibility symbol and an unversioned reference to it does not link.
// Forwards to that compatibility symbol (the same function as pthread_mutex_lock in libc).
// Remove once the counter resolves the real function itself.
#include <pthread.h>

#if !defined(NORVO_SANITIZED) && defined(__GLIBC__) && defined(__x86_64__)
extern "C" int norvoLibcMutexLock(pthread_mutex_t* mutex);
__asm__(".symver norvoLibcMutexLock,__pthread_mutex_lock@GLIBC_2.2.5");

extern "C" int __pthread_mutex_lock(pthread_mutex_t* mutex) { return norvoLibcMutexLock(mutex); }
#endif
