// The chord kernel's exported entry points gathered into the engine's table.
#include "engine/kernel_entry_points.h"

#include <cstddef>

#include "kernel/kernel_api.h"
#include "product/parameter_table.h"

namespace norvo {

static_assert(kKernelBlockFrames == NORVO_KERNEL_MAX_FRAMES);
static_assert(kKernelMaxEvents == NORVO_KERNEL_MAX_EVENTS);
static_assert(kKernelEventParameter == NORVO_KERNEL_EVENT_PARAMETER);
static_assert(kKernelEventNoteOn == NORVO_KERNEL_EVENT_NOTE_ON);
static_assert(kKernelEventNoteOff == NORVO_KERNEL_EVENT_NOTE_OFF);
static_assert(kParamCount == NORVO_KERNEL_PARAMETER_COUNT);

static_assert(sizeof(KernelOutputEvent) == sizeof(norvo_kernel_output_event));
static_assert(offsetof(KernelOutputEvent, kind) == offsetof(norvo_kernel_output_event, kind));
static_assert(offsetof(KernelOutputEvent, frame) == offsetof(norvo_kernel_output_event, frame));
static_assert(offsetof(KernelOutputEvent, a) == offsetof(norvo_kernel_output_event, a));
static_assert(offsetof(KernelOutputEvent, b) == offsetof(norvo_kernel_output_event, b));

namespace {

// The engine's record and the kernel's have the same layout, so the kernel writes straight into
// the engine's buffer.
double readKernelOutputs(std::uint32_t handle, std::uint32_t first, KernelOutputEvent* out,
                         std::uint32_t capacity) {
  return NORVO_KERNEL_ENTRY(event_output_read)(
      handle, first, reinterpret_cast<norvo_kernel_output_event*>(out), capacity);
}

}  // namespace

const KernelEntryPoints& chordKernelEntryPoints() noexcept {
  static constexpr KernelEntryPoints kEntryPoints{
      &NORVO_KERNEL_ENTRY(create),
      &NORVO_KERNEL_ENTRY(input_view),
      &NORVO_KERNEL_ENTRY(output_view),
      &NORVO_KERNEL_ENTRY(push_event),
      &NORVO_KERNEL_ENTRY(process),
      &NORVO_KERNEL_ENTRY(reset),
      &NORVO_KERNEL_ENTRY(destroy),
      &NORVO_KERNEL_ENTRY(event_output_count),
      &NORVO_KERNEL_ENTRY(event_output_frame),
      &NORVO_KERNEL_ENTRY(event_output_kind),
      &NORVO_KERNEL_ENTRY(event_output_a),
      &NORVO_KERNEL_ENTRY(event_output_b),
      &readKernelOutputs,
  };
  return kEntryPoints;
}

}  // namespace norvo
