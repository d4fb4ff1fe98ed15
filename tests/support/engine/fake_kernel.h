// A scriptable stand-in for the kernel's flat interface, for engine paths the chord kernel
// never takes: a refused creation at the host rate, failing blocks, arbitrary outputs.
// One fake per process (static state); tests reset it in SetUp. Test thread only.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "engine/kernel_entry_points.h"

namespace norvo::test {

struct FakeKernelCall {
  std::uint32_t kind;  // pushed kernel event kind
  std::uint32_t frame;
  std::uint32_t index;
  double value;
};

inline bool operator==(const FakeKernelCall& a, const FakeKernelCall& b) {
  return a.kind == b.kind && a.frame == b.frame && a.index == b.index && a.value == b.value;
}

inline std::ostream& operator<<(std::ostream& os, const FakeKernelCall& c) {
  return os << "{kind " << c.kind << ", frame " << c.frame << ", index " << c.index << ", value "
            << c.value << "}";
}

struct FakeKernelOutput {
  double kind, frame, a, b;
};

struct FakeKernelState {
  bool refuseHostRate = false;      // create fails unless the rate is 48000
  bool refuseAll = false;           // every create fails
  std::vector<double> createRates;  // rates create was called with
  std::vector<FakeKernelCall> pushes;
  std::vector<std::uint32_t> processFrames;
  std::vector<std::size_t> pushesAtProcess;  // pushes.size() at each process call
  std::vector<double> processStatuses;       // status per process call, 0 once exhausted
  double pushStatus = 0;                     // status every push returns
  std::vector<FakeKernelOutput> outputs;     // reported after every successful process
  int resets = 0;
  std::vector<std::uint32_t> destroyed;
  std::uint32_t nextHandle = 7;
};

inline FakeKernelState& fakeKernel() {
  static FakeKernelState state;
  return state;
}

inline const KernelEntryPoints& fakeKernelEntryPoints() {
  static const KernelEntryPoints entries{
      [](std::uint32_t, std::uint32_t, std::uint32_t, double rate) -> double {
        FakeKernelState& k = fakeKernel();
        k.createRates.push_back(rate);
        if (k.refuseAll || (k.refuseHostRate && rate != 48000.0)) return 0;
        return k.nextHandle++;
      },
      [](std::uint32_t, float** data, std::size_t* length) {
        if (data) *data = nullptr;
        if (length) *length = 0;
      },
      [](std::uint32_t, float** data, std::size_t* length) {
        if (data) *data = nullptr;
        if (length) *length = 0;
      },
      [](std::uint32_t, std::uint32_t kind, std::uint32_t frame, std::uint32_t index,
         double value) -> double {
        fakeKernel().pushes.push_back({kind, frame, index, value});
        return fakeKernel().pushStatus;
      },
      [](std::uint32_t, std::uint32_t frames) -> double {
        FakeKernelState& k = fakeKernel();
        const std::size_t call = k.processFrames.size();
        k.processFrames.push_back(frames);
        k.pushesAtProcess.push_back(k.pushes.size());
        return call < k.processStatuses.size() ? k.processStatuses[call] : 0.0;
      },
      [](std::uint32_t) -> double {
        ++fakeKernel().resets;
        return 0;
      },
      [](std::uint32_t handle) -> double {
        fakeKernel().destroyed.push_back(handle);
        return 0;
      },
      [](std::uint32_t) -> double { return static_cast<double>(fakeKernel().outputs.size()); },
      [](std::uint32_t, std::uint32_t i) { return fakeKernel().outputs.at(i).frame; },
      [](std::uint32_t, std::uint32_t i) { return fakeKernel().outputs.at(i).kind; },
      [](std::uint32_t, std::uint32_t i) { return fakeKernel().outputs.at(i).a; },
      [](std::uint32_t, std::uint32_t i) { return fakeKernel().outputs.at(i).b; },
  };
  return entries;
}

}  // namespace norvo::test
