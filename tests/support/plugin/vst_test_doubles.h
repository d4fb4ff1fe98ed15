// Small stand-ins for the host's side of a process call and of the processor's connection:
// an event list, parameter changes with their value queues, a connection point that records
// the messages it receives, a host stream for the state calls, a fake kernel behind the
// engine's entry-point table that records every call, and the host's side of an edit
// controller: its context (name, messages, optionally a run loop), its component handler, a
// run loop with timers fired on request, and a page that records what the bridge sink sends. The
// lists have fixed capacities and never allocate, so they can be used inside a counted realtime
// scope (the stream allocates). Test thread only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/kernel_entry_points.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

namespace norvo::test {

// Implements FUnknown for stack objects: no reference counting, queryInterface answers I only.
#define NORVO_TEST_FUNKNOWN(I)                                                                   \
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override { \
    if (Steinberg::FUnknownPrivate::iidEqual(iid, I::iid) ||                                     \
        Steinberg::FUnknownPrivate::iidEqual(iid, Steinberg::FUnknown::iid)) {                   \
      *obj = static_cast<I*>(this);                                                              \
      return Steinberg::kResultOk;                                                               \
    }                                                                                            \
    *obj = nullptr;                                                                              \
    return Steinberg::kNoInterface;                                                              \
  }                                                                                              \
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }                                   \
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

class EventListDouble : public Steinberg::Vst::IEventList {
 public:
  static constexpr int kCapacity = 512;

  // Index of an addEvent call (0-based) that is refused; -1 refuses none (except when full).
  int refuseAddAt = -1;

  Steinberg::int32 PLUGIN_API getEventCount() override { return count_; }
  Steinberg::tresult PLUGIN_API getEvent(Steinberg::int32 index,
                                         Steinberg::Vst::Event& e) override {
    if (index < 0 || index >= count_) return Steinberg::kInvalidArgument;
    e = events_[index];
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API addEvent(Steinberg::Vst::Event& e) override {
    const int call = addCalls_++;
    if (call == refuseAddAt || count_ >= kCapacity) return Steinberg::kResultFalse;
    events_[count_++] = e;
    return Steinberg::kResultOk;
  }
  NORVO_TEST_FUNKNOWN(Steinberg::Vst::IEventList)

  void clear() {
    count_ = 0;
    addCalls_ = 0;
  }
  int addCalls() const { return addCalls_; }
  const Steinberg::Vst::Event& at(int i) const { return events_[i]; }

  void addNoteOn(int pitch, float velocity, int offset, int channel = 0) {
    Steinberg::Vst::Event e{};
    e.type = Steinberg::Vst::Event::kNoteOnEvent;
    e.sampleOffset = offset;
    e.noteOn.pitch = static_cast<Steinberg::int16>(pitch);
    e.noteOn.velocity = velocity;
    e.noteOn.channel = static_cast<Steinberg::int16>(channel);
    e.noteOn.noteId = -1;
    events_[count_++] = e;
  }
  void addNoteOff(int pitch, int offset, int channel = 0) {
    Steinberg::Vst::Event e{};
    e.type = Steinberg::Vst::Event::kNoteOffEvent;
    e.sampleOffset = offset;
    e.noteOff.pitch = static_cast<Steinberg::int16>(pitch);
    e.noteOff.channel = static_cast<Steinberg::int16>(channel);
    e.noteOff.noteId = -1;
    events_[count_++] = e;
  }

 private:
  Steinberg::Vst::Event events_[kCapacity] = {};
  int count_ = 0;
  int addCalls_ = 0;
};

class ParamValueQueueDouble : public Steinberg::Vst::IParamValueQueue {
 public:
  static constexpr int kCapacity = 64;

  Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return id_; }
  Steinberg::int32 PLUGIN_API getPointCount() override { return count_; }
  Steinberg::tresult PLUGIN_API getPoint(Steinberg::int32 index, Steinberg::int32& offset,
                                         Steinberg::Vst::ParamValue& value) override {
    if (index < 0 || index >= count_) return Steinberg::kInvalidArgument;
    offset = offsets_[index];
    value = values_[index];
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API addPoint(Steinberg::int32 offset, Steinberg::Vst::ParamValue value,
                                         Steinberg::int32& index) override {
    if (count_ >= kCapacity) return Steinberg::kResultFalse;
    offsets_[count_] = offset;
    values_[count_] = value;
    index = count_++;
    return Steinberg::kResultOk;
  }
  NORVO_TEST_FUNKNOWN(Steinberg::Vst::IParamValueQueue)

  void reset(Steinberg::Vst::ParamID id) {
    id_ = id;
    count_ = 0;
  }

 private:
  Steinberg::Vst::ParamID id_ = 0;
  Steinberg::int32 offsets_[kCapacity] = {};
  Steinberg::Vst::ParamValue values_[kCapacity] = {};
  int count_ = 0;
};

class ParameterChangesDouble : public Steinberg::Vst::IParameterChanges {
 public:
  static constexpr int kCapacity = 16;

  Steinberg::int32 PLUGIN_API getParameterCount() override { return count_; }
  Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(Steinberg::int32 index) override {
    return index >= 0 && index < count_ ? &queues_[index] : nullptr;
  }
  Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const Steinberg::Vst::ParamID& id,
                                                                Steinberg::int32& index) override {
    if (count_ >= kCapacity) return nullptr;
    queues_[count_].reset(id);
    index = count_;
    return &queues_[count_++];
  }
  NORVO_TEST_FUNKNOWN(Steinberg::Vst::IParameterChanges)

  // Adds a queue for `id` and returns it for adding points.
  ParamValueQueueDouble& queue(Steinberg::Vst::ParamID id) {
    Steinberg::int32 index = 0;
    addParameterData(id, index);
    return queues_[index];
  }
  void point(Steinberg::Vst::ParamID id, int offset, double value) {
    Steinberg::int32 index = 0;
    queue(id).addPoint(offset, value, index);
  }
  void clear() { count_ = 0; }

 private:
  ParamValueQueueDouble queues_[kCapacity];
  int count_ = 0;
};

// The processor's peer: keeps the id and "json" payload of every message it is sent.
class MessageRecorder : public Steinberg::Vst::IConnectionPoint {
 public:
  struct Received {
    std::string id;
    bool hasJson = false;
    std::string json;  // raw bytes of the "json" binary attribute
    bool hasReset = false;
    Steinberg::int64 reset = 0;  // the integer "reset" attribute
  };

  Steinberg::tresult PLUGIN_API connect(Steinberg::Vst::IConnectionPoint*) override {
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API disconnect(Steinberg::Vst::IConnectionPoint*) override {
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) override {
    Received r;
    r.id = message->getMessageID() != nullptr ? message->getMessageID() : "";
    const void* data = nullptr;
    Steinberg::uint32 size = 0;
    if (auto* attributes = message->getAttributes();
        attributes != nullptr &&
        attributes->getBinary("json", data, size) == Steinberg::kResultOk) {
      r.hasJson = true;
      r.json.assign(static_cast<const char*>(data), size);
    }
    if (auto* attributes = message->getAttributes(); attributes != nullptr)
      r.hasReset = attributes->getInt("reset", r.reset) == Steinberg::kResultOk;
    received.push_back(std::move(r));
    return Steinberg::kResultOk;
  }
  NORVO_TEST_FUNKNOWN(Steinberg::Vst::IConnectionPoint)

  std::vector<const Received*> withId(const std::string& id) const {
    std::vector<const Received*> out;
    for (const auto& r : received)
      if (r.id == id) out.push_back(&r);
    return out;
  }

  std::vector<Received> received;
};

// The host's component handler: every call kept as a short text, "begin 2", "perform 2 0.75",
// "end 2", "restart 32" (values with %g).
class ComponentHandlerDouble : public Steinberg::Vst::IComponentHandler {
 public:
  Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID id) override {
    return note("begin " + std::to_string(id));
  }
  Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID id,
                                            Steinberg::Vst::ParamValue value) override {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return note("perform " + std::to_string(id) + " " + text);
  }
  Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID id) override {
    return note("end " + std::to_string(id));
  }
  Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32 flags) override {
    return note("restart " + std::to_string(flags));
  }
  NORVO_TEST_FUNKNOWN(Steinberg::Vst::IComponentHandler)

  std::vector<std::string> calls;

 private:
  Steinberg::tresult note(std::string call) {
    calls.push_back(std::move(call));
    return Steinberg::kResultOk;
  }
};

// The host's run loop: keeps its timers and fires them on request.
class RunLoopDouble : public Steinberg::Linux::IRunLoop {
 public:
  struct Timer {
    Steinberg::Linux::ITimerHandler* handler;
    Steinberg::Linux::TimerInterval milliseconds;
  };
  Steinberg::tresult PLUGIN_API registerEventHandler(Steinberg::Linux::IEventHandler*,
                                                     Steinberg::Linux::FileDescriptor) override {
    return Steinberg::kNotImplemented;
  }
  Steinberg::tresult PLUGIN_API unregisterEventHandler(Steinberg::Linux::IEventHandler*) override {
    return Steinberg::kNotImplemented;
  }
  Steinberg::tresult PLUGIN_API
  registerTimer(Steinberg::Linux::ITimerHandler* handler,
                Steinberg::Linux::TimerInterval milliseconds) override {
    timers.push_back({handler, milliseconds});
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API unregisterTimer(Steinberg::Linux::ITimerHandler* handler) override {
    const auto found = std::find_if(timers.begin(), timers.end(),
                                    [&](const Timer& t) { return t.handler == handler; });
    if (found == timers.end()) return Steinberg::kInvalidArgument;
    timers.erase(found);
    return Steinberg::kResultOk;
  }
  NORVO_TEST_FUNKNOWN(Steinberg::Linux::IRunLoop)

  // Fires every timer once, as the host's loop would after its interval.
  void fireAll() {
    const std::vector<Timer> copy = timers;
    for (const Timer& t : copy) t.handler->onTimer();
  }

  std::vector<Timer> timers;
};

// The host context handed to initialize: the SDK's host application (messages and attribute
// lists) with a chosen name, answering IRunLoop when `runLoop` is set.
class HostContextDouble : public Steinberg::Vst::HostApplication {
 public:
  std::string name = "norvo-test";
  Steinberg::Linux::IRunLoop* runLoop = nullptr;

  Steinberg::tresult PLUGIN_API getName(Steinberg::Vst::String128 out) override {
    Steinberg::UString(out, 128).fromAscii(name.c_str());
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override {
    if (runLoop != nullptr &&
        Steinberg::FUnknownPrivate::iidEqual(iid, Steinberg::Linux::IRunLoop::iid)) {
      runLoop->addRef();
      *obj = runLoop;
      return Steinberg::kResultOk;
    }
    return HostApplication::queryInterface(iid, obj);
  }
};

// The editor page at the far end of the bridge sink: keeps every text it is sent.
struct PageRecorder {
  std::vector<std::string> texts;
  std::function<void(std::string_view)> sink() {
    return [this](std::string_view text) { texts.emplace_back(text); };
  }
};

// The host's stream for getState and setState: reads hand out `bytes` from the start, writes
// append to it (at most `writeLimit` bytes per call, to play a stream that keeps only part of a
// write). Counts the calls.
class StreamDouble : public Steinberg::IBStream {
 public:
  std::string bytes;
  std::size_t readPosition = 0;
  int reads = 0;
  int writes = 0;
  Steinberg::int32 writeLimit = 0x7FFFFFFF;

  StreamDouble() = default;
  explicit StreamDouble(std::string text) : bytes(std::move(text)) {}

  Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes,
                                     Steinberg::int32* numBytesRead) override {
    ++reads;
    const std::size_t left = bytes.size() - readPosition;
    const std::size_t count = numBytes < 0 ? 0 : std::min(left, static_cast<std::size_t>(numBytes));
    std::memcpy(buffer, bytes.data() + readPosition, count);
    readPosition += count;
    if (numBytesRead != nullptr) *numBytesRead = static_cast<Steinberg::int32>(count);
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API write(void* buffer, Steinberg::int32 numBytes,
                                      Steinberg::int32* numBytesWritten) override {
    ++writes;
    const Steinberg::int32 count = std::min(numBytes, writeLimit);
    bytes.append(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
    if (numBytesWritten != nullptr) *numBytesWritten = count;
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API seek(Steinberg::int64, Steinberg::int32,
                                     Steinberg::int64*) override {
    return Steinberg::kNotImplemented;
  }
  Steinberg::tresult PLUGIN_API tell(Steinberg::int64*) override {
    return Steinberg::kNotImplemented;
  }
  NORVO_TEST_FUNKNOWN(Steinberg::IBStream)
};

// A kernel behind the engine's entry-point table that records what the engine asks of it and
// reports the outputs a test sets up. One process-wide instance (the table holds plain
// function pointers); reset it at the start of every test.
struct FakeKernel {
  struct Push {
    std::uint32_t kind;
    std::uint32_t frame;
    std::uint32_t index;
    double value;
  };
  struct Output {
    double kind, frame, a, b;
  };
  static constexpr int kCapacity = 256;

  Push pushes[kCapacity];
  int pushCount = 0;
  Output outputs[kCapacity];
  int outputCount = 0;
  int processCalls = 0;
  std::uint32_t lastProcessFrames = 0;
  bool refuseCreate = false;

  void reset() { *this = FakeKernel{}; }
  void clearCalls() {
    pushCount = 0;
    processCalls = 0;
  }
  void addOutput(double kind, double frame, double a, double b) {
    outputs[outputCount++] = Output{kind, frame, a, b};
  }

  static FakeKernel& instance();
  static const KernelEntryPoints& entryPoints();
};

}  // namespace norvo::test
