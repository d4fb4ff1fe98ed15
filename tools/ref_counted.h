// Reference counting and interface lookup shared by the host objects norvo-probe hands to a
// plug-in. Main thread, except where a class says otherwise.
#pragma once

#include "pluginterfaces/base/funknown.h"

#include <atomic>

namespace norvo::probe {

// Implements FUnknown for a host object that offers exactly one interface I. Objects start
// with one reference, owned by whoever created them (wrap them in IPtr with owned()).
template <class I>
class RefCounted : public I {
 public:
  RefCounted() = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;
  virtual ~RefCounted() = default;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override {
    if (Steinberg::FUnknownPrivate::iidEqual(iid, Steinberg::FUnknown::iid) ||
        Steinberg::FUnknownPrivate::iidEqual(iid, I::iid)) {
      this->addRef();
      *obj = static_cast<I*>(this);
      return Steinberg::kResultOk;
    }
    *obj = nullptr;
    return Steinberg::kNoInterface;
  }
  Steinberg::uint32 PLUGIN_API addRef() override { return ++refs_; }
  Steinberg::uint32 PLUGIN_API release() override {
    const Steinberg::uint32 left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<Steinberg::uint32> refs_{1};
};

}  // namespace norvo::probe
