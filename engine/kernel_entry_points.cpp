// The chord kernel's exported entry points gathered into the engine's table.
#include "engine/kernel_entry_points.h"

#include "kernel/kernel_api.h"
#include "product/parameter_table.h"

namespace norvo {

static_assert(kKernelBlockFrames == NORVO_KERNEL_MAX_FRAMES);
static_assert(kKernelMaxEvents == NORVO_KERNEL_MAX_EVENTS);
static_assert(kKernelEventParameter == NORVO_KERNEL_EVENT_PARAMETER);
static_assert(kKernelEventNoteOn == NORVO_KERNEL_EVENT_NOTE_ON);
static_assert(kKernelEventNoteOff == NORVO_KERNEL_EVENT_NOTE_OFF);
static_assert(kParamCount == NORVO_KERNEL_PARAMETER_COUNT);

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
  };
  return kEntryPoints;
}

}  // namespace norvo
