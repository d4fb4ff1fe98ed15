/* The one marker for the C functions the module exports (the kernel's flat interface, the VST 3
 * entry points, the editor glue and the diagnostic bridge). Everything else is built with hidden
 * visibility; the module's linker version script then keeps exactly its listed names. C and C++;
 * C++ callers add `extern "C"` themselves. */
#ifndef NORVO_COMMON_EXPORT_H
#define NORVO_COMMON_EXPORT_H

#if defined(_WIN32)
#define NORVO_EXPORT __declspec(dllexport)
#else
#define NORVO_EXPORT __attribute__((visibility("default")))
#endif

#endif /* NORVO_COMMON_EXPORT_H */
