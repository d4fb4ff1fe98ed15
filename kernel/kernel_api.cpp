// The exported C entry points: each records its name for trap messages, refuses to run after
// a trap, and forwards to the instance table. Threads: see kernel_api.h.
#include "kernel/kernel_api.h"

#include "kernel/instance_table.h"
#include "kernel/kernel_trap.h"

// The flat interface's constants are the instance table's and the chord generator's.
static_assert(NORVO_KERNEL_MAX_INSTANCES == norvo::kernel::MAX_INSTANCES);
static_assert(NORVO_KERNEL_MAX_FRAMES == norvo::kernel::MAX_FRAMES);
static_assert(NORVO_KERNEL_MAX_EVENTS == norvo::kernel::MAX_EVENTS);
static_assert(NORVO_KERNEL_PARAMETER_COUNT == norvo::kernel::PARAMETER_COUNT);
static_assert(NORVO_KERNEL_MAX_EVENT_OUTPUTS == norvo::kernel::MAX_EVENT_OUTPUTS);
static_assert(NORVO_KERNEL_EVENT_PARAMETER == norvo::kernel::EVENT_PARAMETER);
static_assert(NORVO_KERNEL_EVENT_NOTE_ON == norvo::kernel::EVENT_NOTE_ON);
static_assert(NORVO_KERNEL_EVENT_NOTE_OFF == norvo::kernel::EVENT_NOTE_OFF);
static_assert(NORVO_KERNEL_EVENT_CONTROL_CHANGE == norvo::kernel::EVENT_CONTROL_CHANGE);

using norvo::kernel::enterEntry;
using norvo::kernel::OutputField;

extern "C" {

double NORVO_KERNEL_ENTRY(runtime_init)(void) {
  enterEntry("runtime_init");
  norvo::kernel::runtimeInit();
  return 0.0;
}

void NORVO_KERNEL_ENTRY(set_panic_sink)(norvo_kernel_panic_sink sink, void* context) {
  norvo::kernel::setPanicSink(sink, context);
}

void NORVO_KERNEL_ENTRY(collect)(void) {
  // Nothing is handed out as a temporary, so there is nothing to reclaim.
  enterEntry("collect");
}

double NORVO_KERNEL_ENTRY(abi_version)(void) {
  enterEntry("abi_version");
  return NORVO_KERNEL_ABI_VERSION;
}

double NORVO_KERNEL_ENTRY(create)(uint32_t maxBlockFrames, uint32_t inputChannels,
                                  uint32_t outputChannels, double sampleRate) {
  enterEntry("create");
  return norvo::kernel::createInstance(maxBlockFrames, inputChannels, outputChannels, sampleRate);
}

static void writeEmptyView(float** data, size_t* length) noexcept {
  const norvo::kernel::AudioView view = norvo::kernel::emptyAudioView();
  if (data != nullptr) *data = view.data;
  if (length != nullptr) *length = view.length;
}

void NORVO_KERNEL_ENTRY(input_view)(uint32_t /*handle*/, float** data, size_t* length) {
  enterEntry("input_view");
  writeEmptyView(data, length);
}

void NORVO_KERNEL_ENTRY(output_view)(uint32_t /*handle*/, float** data, size_t* length) {
  enterEntry("output_view");
  writeEmptyView(data, length);
}

double NORVO_KERNEL_ENTRY(push_event)(uint32_t handle, uint32_t kind, uint32_t frame,
                                      uint32_t index, double value) {
  enterEntry("push_event");
  return norvo::kernel::pushEvent(handle, kind, frame, index, value);
}

double NORVO_KERNEL_ENTRY(push_events)(uint32_t handle, const norvo_kernel_input_event* events,
                                       uint32_t count, double* refusal) {
  enterEntry("push_events");
  int status = 0;
  const std::uint32_t queued = norvo::kernel::pushEvents(handle, events, count, status);
  if (refusal != nullptr) *refusal = status;
  return queued;
}

double NORVO_KERNEL_ENTRY(process)(uint32_t handle, uint32_t frames) {
  enterEntry("process");
  return norvo::kernel::processInstance(handle, frames);
}

double NORVO_KERNEL_ENTRY(reset)(uint32_t handle) {
  enterEntry("reset");
  return norvo::kernel::resetInstance(handle);
}

double NORVO_KERNEL_ENTRY(destroy)(uint32_t handle) {
  enterEntry("destroy");
  return norvo::kernel::destroyInstance(handle);
}

double NORVO_KERNEL_ENTRY(event_output_count)(uint32_t handle) {
  enterEntry("event_output_count");
  return norvo::kernel::outputCount(handle);
}

double NORVO_KERNEL_ENTRY(event_output_frame)(uint32_t handle, uint32_t index) {
  enterEntry("event_output_frame");
  return norvo::kernel::outputField(handle, index, OutputField::Frame);
}

double NORVO_KERNEL_ENTRY(event_output_kind)(uint32_t handle, uint32_t index) {
  enterEntry("event_output_kind");
  return norvo::kernel::outputField(handle, index, OutputField::Kind);
}

double NORVO_KERNEL_ENTRY(event_output_a)(uint32_t handle, uint32_t index) {
  enterEntry("event_output_a");
  return norvo::kernel::outputField(handle, index, OutputField::A);
}

double NORVO_KERNEL_ENTRY(event_output_b)(uint32_t handle, uint32_t index) {
  enterEntry("event_output_b");
  return norvo::kernel::outputField(handle, index, OutputField::B);
}

double NORVO_KERNEL_ENTRY(event_output_read)(uint32_t handle, uint32_t first,
                                             norvo_kernel_output_event* out, uint32_t capacity) {
  enterEntry("event_output_read");
  return norvo::kernel::readOutputs(handle, first, out, capacity);
}

double NORVO_KERNEL_ENTRY(event_output_columns)(uint32_t handle, norvo_kernel_output_columns* out) {
  enterEntry("event_output_columns");
  return norvo::kernel::outputColumns(handle, out);
}

}  // extern "C"
