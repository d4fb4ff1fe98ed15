/* The chord kernel's flat C interface.
 *
 * A process-wide table of up to 32 kernel instances addressed by generation-checked handles;
 * each instance queues timestamped input events (parameters, notes), runs them through the
 * chord generator in frame order on `process` and exposes the resulting note events one field
 * at a time. Every numeric result is a 64-bit float.
 *
 * Threads: the shell calls `runtime_init` once per process (after `set_panic_sink`) under a
 * once-only guard, `create` and `destroy` from the thread that sets processing up, and the
 * block entry points (`push_event`, `process`, `reset`, the output readers) from the audio
 * thread. Calls for one instance must not overlap; different instances may be driven from
 * different threads (`create` and `destroy` are serialized inside the kernel). The block entry
 * points never allocate, lock or block.
 *
 * All exported names share one prefix, defined here in one place: NORVO_KERNEL_ENTRY(process)
 * is the exported symbol `chord_5f2c9e_process`.
 */
#ifndef NORVO_KERNEL_KERNEL_API_H
#define NORVO_KERNEL_KERNEL_API_H

#include <stddef.h>
#include <stdint.h>

#include "common/export.h"

/* Product identifier and build hash; the only place the exported prefix is spelled out. */
#define NORVO_KERNEL_PREFIX chord_5f2c9e_
#define NORVO_KERNEL_PREFIX_STRING "chord_5f2c9e_"

#define NORVO_KERNEL_CONCAT_(a, b) a##b
#define NORVO_KERNEL_CONCAT(a, b) NORVO_KERNEL_CONCAT_(a, b)
#define NORVO_KERNEL_ENTRY(suffix) NORVO_KERNEL_CONCAT(NORVO_KERNEL_PREFIX, suffix)

/* Interface constants. */
#define NORVO_KERNEL_ABI_VERSION 2
#define NORVO_KERNEL_MAX_INSTANCES 32
#define NORVO_KERNEL_MAX_FRAMES 128
#define NORVO_KERNEL_MAX_EVENTS 64
#define NORVO_KERNEL_PARAMETER_COUNT 4
#define NORVO_KERNEL_MAX_EVENT_OUTPUTS 256

/* Event kinds, input and output. */
#define NORVO_KERNEL_EVENT_PARAMETER 1      /* a: parameter index 0..3, value: plain value */
#define NORVO_KERNEL_EVENT_NOTE_ON 2        /* a: note 0..127, value: velocity 0..1 (or 2..3) */
#define NORVO_KERNEL_EVENT_NOTE_OFF 3       /* a: note 0..127, value: 0 */
#define NORVO_KERNEL_EVENT_CONTROL_CHANGE 4 /* a: controller 0..127, value: 0..1 */

/* Status codes of push_event. */
#define NORVO_KERNEL_PUSH_QUEUED 0
#define NORVO_KERNEL_PUSH_BAD_HANDLE_OR_FRAME 1
#define NORVO_KERNEL_PUSH_INVALID_EVENT 2
#define NORVO_KERNEL_PUSH_NOT_FINITE_OR_FULL 3
#define NORVO_KERNEL_PUSH_OUT_OF_ORDER 4

/* Status codes of process. */
#define NORVO_KERNEL_PROCESS_DONE 0
#define NORVO_KERNEL_PROCESS_BAD_HANDLE_OR_FRAMES 1
#define NORVO_KERNEL_PROCESS_REFUSED 2
#define NORVO_KERNEL_PROCESS_OUTPUT_OVERFLOW 3

/* Status codes of reset and destroy. */
#define NORVO_KERNEL_RESET_DONE 0
#define NORVO_KERNEL_RESET_BAD_HANDLE 1
#define NORVO_KERNEL_RESET_DEFAULT_REFUSED 2
#define NORVO_KERNEL_DESTROY_DONE 0
#define NORVO_KERNEL_DESTROY_BAD_HANDLE 1

#ifdef __cplusplus
extern "C" {
#endif

/* One output event as `event_output_read` copies it: the values the per-field readers return. */
typedef struct norvo_kernel_output_event {
  int32_t kind;  /* 2 note-on, 3 note-off */
  int32_t frame; /* frame within the block */
  int32_t a;     /* note number */
  float b;       /* velocity, 0 for note-offs */
} norvo_kernel_output_event;

/* One event for `push_events`: the arguments of one `push_event` call. */
typedef struct norvo_kernel_input_event {
  uint32_t kind;
  uint32_t frame;
  uint32_t index;
  double value;
} norvo_kernel_input_event;

/* The output columns of an instance's last successful block, as `event_output_columns` hands
 * them out: `count` events, event i being kinds[i], frames[i], a[i] and b[i] (the values the
 * per-field readers return). */
typedef struct norvo_kernel_output_columns {
  const int32_t* kinds;
  const int32_t* frames;
  const int32_t* a;
  const float* b;
  uint32_t count;
} norvo_kernel_output_columns;

/* Called once when the kernel traps, just before it aborts the process. `message` holds
 * `length` bytes (not NUL-terminated): 0x01, the trap text, 0x1F, a diagnostic code such as
 * "SC4014", 0x1F, the name of the entry point that was running. `extra` is always NULL. The
 * sink must not call back into the kernel (doing so ends the process at once). */
typedef void (*norvo_kernel_panic_sink)(void* context, const char* message, size_t length,
                                        void* extra);

/* Releases any earlier tables and instances (every earlier handle becomes invalid) and
 * allocates the process-wide tables. Returns 0. The panic sink is kept. */
NORVO_EXPORT double NORVO_KERNEL_ENTRY(runtime_init)(void);

/* Installs (or, with NULL, removes) the trap callback. */
NORVO_EXPORT void NORVO_KERNEL_ENTRY(set_panic_sink)(norvo_kernel_panic_sink sink, void* context);

/* Releases temporaries handed out by entry points. Changes no instance. */
NORVO_EXPORT void NORVO_KERNEL_ENTRY(collect)(void);

/* Interface version: 2. */
NORVO_EXPORT double NORVO_KERNEL_ENTRY(abi_version)(void);

/* Creates an instance; returns its handle, or 0 when the arguments are invalid
 * (sampleRate must be finite and > 0, 1 <= maxBlockFrames <= 128, no audio channels) or all
 * 32 slots are in use. Allocates. */
NORVO_EXPORT double NORVO_KERNEL_ENTRY(create)(uint32_t maxBlockFrames, uint32_t inputChannels,
                                               uint32_t outputChannels, double sampleRate);

/* The kernel's audio views: always the empty view (length 0), for any handle. The pointer
 * stays usable until the next entry-point call. Either out pointer may be NULL. */
NORVO_EXPORT void NORVO_KERNEL_ENTRY(input_view)(uint32_t handle, float** data, size_t* length);
NORVO_EXPORT void NORVO_KERNEL_ENTRY(output_view)(uint32_t handle, float** data, size_t* length);

/* Queues one event for the next `process`. `index` is the parameter index for kind 1 and the
 * note or controller number otherwise. Returns a NORVO_KERNEL_PUSH_* status. */
NORVO_EXPORT double NORVO_KERNEL_ENTRY(push_event)(uint32_t handle, uint32_t kind, uint32_t frame,
                                                   uint32_t index, double value);

/* Queues events[0], events[1], ... in order, each exactly as `push_event` would, in one call,
 * and stops at the first one `push_event` would refuse: that one and the rest are not queued.
 * Returns how many were queued. `refusal` (may be NULL) receives the status `push_event` gives
 * the first one not queued (1 for an invalid handle, 2 for a NULL `events`), or 0 when all
 * were queued; `count` 0 queues nothing and refuses nothing. */
NORVO_EXPORT double NORVO_KERNEL_ENTRY(push_events)(uint32_t handle,
                                                    const norvo_kernel_input_event* events,
                                                    uint32_t count, double* refusal);

/* Runs one block of `frames` frames over the queued events (parameters before notes within a
 * frame). Returns a NORVO_KERNEL_PROCESS_* status. */
NORVO_EXPORT double NORVO_KERNEL_ENTRY(process)(uint32_t handle, uint32_t frames);

/* Forgets held chords, pending input and output, and restores the parameter defaults.
 * Returns a NORVO_KERNEL_RESET_* status. */
NORVO_EXPORT double NORVO_KERNEL_ENTRY(reset)(uint32_t handle);

/* Frees the slot; the handle stays invalid forever. Returns a NORVO_KERNEL_DESTROY_* status. */
NORVO_EXPORT double NORVO_KERNEL_ENTRY(destroy)(uint32_t handle);

/* Output events of the instance's last successful block. The count is 0 and every field 0 for
 * an invalid handle or an index >= the count. Kind is 2 (note-on) or 3 (note-off), a the note
 * number, b the velocity (0 for note-offs), frame the frame within the block. */
NORVO_EXPORT double NORVO_KERNEL_ENTRY(event_output_count)(uint32_t handle);
NORVO_EXPORT double NORVO_KERNEL_ENTRY(event_output_frame)(uint32_t handle, uint32_t index);
NORVO_EXPORT double NORVO_KERNEL_ENTRY(event_output_kind)(uint32_t handle, uint32_t index);
NORVO_EXPORT double NORVO_KERNEL_ENTRY(event_output_a)(uint32_t handle, uint32_t index);
NORVO_EXPORT double NORVO_KERNEL_ENTRY(event_output_b)(uint32_t handle, uint32_t index);

/* Copies output events first, first + 1, ... of the instance's last successful block into
 * `out`, at most `capacity` of them, in one call instead of four per event. Returns how many
 * were copied: 0 for an invalid handle, a NULL `out` or `first` >= the count. */
NORVO_EXPORT double NORVO_KERNEL_ENTRY(event_output_read)(uint32_t handle, uint32_t first,
                                                          norvo_kernel_output_event* out,
                                                          uint32_t capacity);

/* Points `out` at the instance's output columns instead of copying them: no call per event
 * and no copy. The pointers and the values behind them stay valid until the instance's next
 * `process`, `reset` or `destroy`, or the next `runtime_init`; they must not be written
 * through. Returns the count: 0 (every pointer NULL) for an invalid handle; 0 and nothing
 * written for a NULL `out`. */
NORVO_EXPORT double NORVO_KERNEL_ENTRY(event_output_columns)(uint32_t handle,
                                                             norvo_kernel_output_columns* out);

#ifdef __cplusplus
}
#endif

#endif /* NORVO_KERNEL_KERNEL_API_H */
