// The fake kernel's entry points.
#include "support/plugin/vst_test_doubles.h"

namespace norvo::test {

namespace {

FakeKernel gKernel;

double fakeCreate(std::uint32_t, std::uint32_t, std::uint32_t, double) {
  return gKernel.refuseCreate ? 0.0 : 1.0;
}
void fakeView(std::uint32_t, float** data, std::size_t* length) {
  *data = nullptr;
  *length = 0;
}
double fakePush(std::uint32_t, std::uint32_t kind, std::uint32_t frame, std::uint32_t index,
                double value) {
  if (gKernel.pushCount < FakeKernel::kCapacity)
    gKernel.pushes[gKernel.pushCount++] = FakeKernel::Push{kind, frame, index, value};
  return 0.0;
}
double fakeProcess(std::uint32_t, std::uint32_t frames) {
  ++gKernel.processCalls;
  gKernel.lastProcessFrames = frames;
  return 0.0;
}
double fakeZero(std::uint32_t) { return 0.0; }
double fakeOutputCount(std::uint32_t) { return gKernel.outputCount; }
double fakeFrame(std::uint32_t, std::uint32_t i) { return gKernel.outputs[i].frame; }
double fakeKind(std::uint32_t, std::uint32_t i) { return gKernel.outputs[i].kind; }
double fakeA(std::uint32_t, std::uint32_t i) { return gKernel.outputs[i].a; }
double fakeB(std::uint32_t, std::uint32_t i) { return gKernel.outputs[i].b; }

const KernelEntryPoints kFakeEntryPoints = {
    fakeCreate, fakeView,        fakeView,  fakePush, fakeProcess, fakeZero,
    fakeZero,   fakeOutputCount, fakeFrame, fakeKind, fakeA,       fakeB,
};

}  // namespace

FakeKernel& FakeKernel::instance() { return gKernel; }
const KernelEntryPoints& FakeKernel::entryPoints() { return kFakeEntryPoints; }

}  // namespace norvo::test
