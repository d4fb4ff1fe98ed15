// The host's IRunLoop as the glue's run-loop table.
#include "plugin/host_run_loop_adapter.h"

#include <algorithm>
#include <atomic>

namespace norvo {

using namespace Steinberg;

namespace {

// A host-facing handler object (a timer or event handler) that calls the glue's callback. The
// host may still hold a reference after unregistering it: `disarm` cuts the callback first.
template <class Handler>
class CallbackHandler : public Handler {
 public:
  CallbackHandler(void (*fire)(void*), void* userData) : fire_(fire), userData_(userData) {}
  virtual ~CallbackHandler() = default;

  void disarm() { fire_ = nullptr; }

  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) ||
        FUnknownPrivate::iidEqual(iid, Handler::iid)) {
      addRef();
      *obj = static_cast<Handler*>(this);
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return ++refs_; }
  uint32 PLUGIN_API release() override {
    const uint32 left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  void fire() {
    if (fire_ != nullptr) fire_(userData_);
  }

 private:
  void (*fire_)(void*);
  void* userData_;
  std::atomic<uint32> refs_{1};
};

}  // namespace

// One repeating host timer calling the glue's callback.
class HostRunLoopAdapter::Timer final : public CallbackHandler<Linux::ITimerHandler> {
 public:
  using CallbackHandler::CallbackHandler;
  void PLUGIN_API onTimer() override { fire(); }
};

// One file descriptor watched by the host, calling the glue's callback.
class HostRunLoopAdapter::FdHandler final : public CallbackHandler<Linux::IEventHandler> {
 public:
  using CallbackHandler::CallbackHandler;
  void PLUGIN_API onFDIsSet(Linux::FileDescriptor) override { fire(); }
};

HostRunLoopAdapter::HostRunLoopAdapter(Linux::IRunLoop* runLoop) : runLoop_(runLoop) {
  table_ = {this, &HostRunLoopAdapter::startTimer, &HostRunLoopAdapter::stopTimer,
            &HostRunLoopAdapter::watchFd, &HostRunLoopAdapter::unwatchFd};
}

HostRunLoopAdapter::~HostRunLoopAdapter() {
  while (!timers_.empty()) stopTimer(this, timers_.back());
  while (!handlers_.empty()) unwatchFd(this, handlers_.back());
}

void* HostRunLoopAdapter::startTimer(void* context, std::uint32_t milliseconds, void (*fire)(void*),
                                     void* userData) {
  auto* self = static_cast<HostRunLoopAdapter*>(context);
  if (!self->runLoop_) return nullptr;
  auto* timer = new Timer(fire, userData);
  if (self->runLoop_->registerTimer(timer, milliseconds) != kResultOk) {
    timer->release();
    return nullptr;
  }
  self->timers_.push_back(timer);
  return timer;
}

void HostRunLoopAdapter::stopTimer(void* context, void* handle) {
  auto* self = static_cast<HostRunLoopAdapter*>(context);
  auto* timer = static_cast<Timer*>(handle);
  const auto found = std::find(self->timers_.begin(), self->timers_.end(), timer);
  if (found == self->timers_.end()) return;
  self->timers_.erase(found);
  timer->disarm();
  self->runLoop_->unregisterTimer(timer);
  timer->release();
}

}  // namespace norvo

namespace norvo {

void* HostRunLoopAdapter::watchFd(void* context, int fd, void (*fire)(void*), void* userData) {
  auto* self = static_cast<HostRunLoopAdapter*>(context);
  if (!self->runLoop_ || fd < 0) return nullptr;
  auto* handler = new FdHandler(fire, userData);
  if (self->runLoop_->registerEventHandler(handler, fd) != kResultOk) {
    handler->release();
    return nullptr;
  }
  self->handlers_.push_back(handler);
  return handler;
}

void HostRunLoopAdapter::unwatchFd(void* context, void* watch) {
  auto* self = static_cast<HostRunLoopAdapter*>(context);
  auto* handler = static_cast<FdHandler*>(watch);
  const auto found = std::find(self->handlers_.begin(), self->handlers_.end(), handler);
  if (found == self->handlers_.end()) return;
  self->handlers_.erase(found);
  handler->disarm();
  self->runLoop_->unregisterEventHandler(handler);
  handler->release();
}

}  // namespace norvo
