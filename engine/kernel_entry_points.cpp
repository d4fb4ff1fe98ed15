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

static_assert(kKernelMaxOutputs == NORVO_KERNEL_MAX_EVENT_OUTPUTS);

static_assert(sizeof(KernelOutputColumns) == sizeof(norvo_kernel_output_columns));
static_assert(offsetof(KernelOutputColumns, kinds) == offsetof(norvo_kernel_output_columns, kinds));
static_assert(offsetof(KernelOutputColumns, frames) ==
              offsetof(norvo_kernel_output_columns, frames));
static_assert(offsetof(KernelOutputColumns, a) == offsetof(norvo_kernel_output_columns, a));
static_assert(offsetof(KernelOutputColumns, b) == offsetof(norvo_kernel_output_columns, b));
static_assert(offsetof(KernelOutputColumns, count) == offsetof(norvo_kernel_output_columns, count));

static_assert(sizeof(KernelInputEvent) == sizeof(norvo_kernel_input_event));
static_assert(offsetof(KernelInputEvent, kind) == offsetof(norvo_kernel_input_event, kind));
static_assert(offsetof(KernelInputEvent, frame) == offsetof(norvo_kernel_input_event, frame));
static_assert(offsetof(KernelInputEvent, index) == offsetof(norvo_kernel_input_event, index));
static_assert(offsetof(KernelInputEvent, value) == offsetof(norvo_kernel_input_event, value));

namespace {

// The engine's record and the kernel's have the same layout, so the kernel fills the engine's.
double kernelOutputColumns(std::uint32_t handle, KernelOutputColumns* out) {
  return NORVO_KERNEL_ENTRY(event_output_columns)(
      handle, reinterpret_cast<norvo_kernel_output_columns*>(out));
}

// The same for the engine's input records and the kernel's.
double kernelPushEvents(std::uint32_t handle, const KernelInputEvent* events, std::uint32_t count,
                        double* refusal) {
  return NORVO_KERNEL_ENTRY(push_events)(
      handle, reinterpret_cast<const norvo_kernel_input_event*>(events), count, refusal);
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
      &kernelOutputColumns,
      &kernelPushEvents,
  };
  return kEntryPoints;
}

}  // namespace norvo
