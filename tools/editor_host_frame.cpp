// The probe's frame, run loop and bridge observer for an attached editor.
#include "tools/editor_host_frame.h"

#include <poll.h>

#include <algorithm>

namespace norvo::probe {

using namespace Steinberg;

EditorHostFrame::EditorHostFrame(HostWindow& window, BridgeTraffic traffic)
    : window_(window), traffic_(std::move(traffic)) {}

tresult PLUGIN_API EditorHostFrame::queryInterface(const TUID iid, void** obj) {
  if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) ||
      FUnknownPrivate::iidEqual(iid, IPlugFrame::iid)) {
    *obj = static_cast<IPlugFrame*>(this);
  } else if (FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid)) {
    *obj = static_cast<Linux::IRunLoop*>(this);
  } else if (FUnknownPrivate::iidEqual(iid, IBridgeObserver::iid)) {
    *obj = static_cast<IBridgeObserver*>(this);
  } else {
    *obj = nullptr;
    return kNoInterface;
  }
  addRef();
  return kResultOk;
}

uint32 PLUGIN_API EditorHostFrame::release() {
  const uint32 left = --refs_;
  if (left == 0) delete this;
  return left;
}

tresult PLUGIN_API EditorHostFrame::resizeView(IPlugView* view, ViewRect* newSize) {
  if (view == nullptr || newSize == nullptr || view != view_) return kInvalidArgument;
  window_.resize(newSize->getWidth(), newSize->getHeight());
  return view->onSize(newSize);
}

tresult PLUGIN_API EditorHostFrame::registerEventHandler(Linux::IEventHandler* handler,
                                                         Linux::FileDescriptor fd) {
  if (handler == nullptr || fd < 0) return kInvalidArgument;
  handlers_.push_back({nextId_++, IPtr<Linux::IEventHandler>(handler), fd});
  return kResultOk;
}

tresult PLUGIN_API EditorHostFrame::unregisterEventHandler(Linux::IEventHandler* handler) {
  const auto before = handlers_.size();
  handlers_.erase(std::remove_if(handlers_.begin(), handlers_.end(),
                                 [&](const FdHandler& h) { return h.handler == handler; }),
                  handlers_.end());
  return handlers_.size() != before ? kResultOk : kInvalidArgument;
}

tresult PLUGIN_API EditorHostFrame::registerTimer(Linux::ITimerHandler* handler,
                                                  Linux::TimerInterval milliseconds) {
  if (handler == nullptr || milliseconds == 0) return kInvalidArgument;
  const std::chrono::milliseconds interval(milliseconds);
  timers_.push_back(
      {nextId_++, IPtr<Linux::ITimerHandler>(handler), interval, Clock::now() + interval});
  return kResultOk;
}

tresult PLUGIN_API EditorHostFrame::unregisterTimer(Linux::ITimerHandler* handler) {
  const auto before = timers_.size();
  timers_.erase(std::remove_if(timers_.begin(), timers_.end(),
                               [&](const Timer& t) { return t.handler == handler; }),
                timers_.end());
  return timers_.size() != before ? kResultOk : kInvalidArgument;
}

void PLUGIN_API EditorHostFrame::pageSent(const char* text, int32 length) {
  if (traffic_ && text != nullptr && length >= 0)
    traffic_(false, std::string_view(text, static_cast<std::size_t>(length)));
}

void PLUGIN_API EditorHostFrame::pageReceived(const char* text, int32 length) {
  if (traffic_ && text != nullptr && length >= 0)
    traffic_(true, std::string_view(text, static_cast<std::size_t>(length)));
}

// A handler may register or unregister timers, itself included: each due timer is looked up
// again by id before it fires.
void EditorHostFrame::fireDueTimers() {
  const Clock::time_point now = Clock::now();
  std::vector<std::uint64_t> due;
  for (const Timer& t : timers_) {
    if (t.due <= now) due.push_back(t.id);
  }
  for (const std::uint64_t id : due) {
    auto found =
        std::find_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.id == id; });
    if (found == timers_.end()) continue;
    found->due = now + found->interval;
    IPtr<Linux::ITimerHandler> handler = found->handler;
    handler->onTimer();
  }
}

bool EditorHostFrame::runFor(std::chrono::milliseconds duration,
                             const std::function<bool()>& done) {
  const Clock::time_point end = Clock::now() + duration;
  while (true) {
    if (window_.processEvents()) return false;
    fireDueTimers();
    if (done && done()) return true;
    const Clock::time_point now = Clock::now();
    if (now >= end) return true;
    Clock::time_point wake = end;
    for (const Timer& t : timers_) wake = std::min(wake, t.due);
    // Rounded up to whole milliseconds, so the last fraction of a period is not a busy loop.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - now);
    std::vector<pollfd> fds;
    fds.push_back({window_.connectionFd(), POLLIN, 0});
    const std::vector<FdHandler> watched = handlers_;
    for (const FdHandler& h : watched) fds.push_back({h.fd, POLLIN, 0});
    const int ready =
        ::poll(fds.data(), fds.size(), static_cast<int>(std::max<long>(wait.count(), 0)));
    if (ready <= 0) continue;
    for (std::size_t i = 1; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      const FdHandler& h = watched[i - 1];
      const bool stillRegistered = std::any_of(handlers_.begin(), handlers_.end(),
                                               [&](const FdHandler& r) { return r.id == h.id; });
      if (stillRegistered) h.handler->onFDIsSet(h.fd);
    }
  }
}

}  // namespace norvo::probe
