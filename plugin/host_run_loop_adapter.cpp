// The host's IRunLoop as the glue's run-loop table.
#include "plugin/host_run_loop_adapter.h"

#include <algorithm>
#include <atomic>

namespace norvo {

using namespace Steinberg;

// One repeating host timer calling the glue's callback.
class HostRunLoopAdapter::Timer final : public Linux::ITimerHandler {
 public:
  Timer(void (*fire)(void*), void* userData) : fire_(fire), userData_(userData) {}

  void PLUGIN_API onTimer() override {
    if (fire_ != nullptr) fire_(userData_);
  }
  // The host may still hold a reference after unregistering: the callback is cut first.
  void disarm() { fire_ = nullptr; }

  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) ||
        FUnknownPrivate::iidEqual(iid, Linux::ITimerHandler::iid)) {
      addRef();
      *obj = static_cast<Linux::ITimerHandler*>(this);
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

 private:
  void (*fire_)(void*);
  void* userData_;
  std::atomic<uint32> refs_{1};
};

// One file descriptor watched by the host, calling the glue's callback.
class HostRunLoopAdapter::FdHandler final : public Linux::IEventHandler {
 public:
  FdHandler(void (*fire)(void*), void* userData) : fire_(fire), userData_(userData) {}

  void PLUGIN_API onFDIsSet(Linux::FileDescriptor) override {
    if (fire_ != nullptr) fire_(userData_);
  }
  void disarm() { fire_ = nullptr; }

  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) ||
        FUnknownPrivate::iidEqual(iid, Linux::IEventHandler::iid)) {
      addRef();
      *obj = static_cast<Linux::IEventHandler*>(this);
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

 private:
  void (*fire_)(void*);
  void* userData_;
  std::atomic<uint32> refs_{1};
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
