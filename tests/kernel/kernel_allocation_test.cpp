// The kernel's block entry points run on the audio thread: after runtime_init and create they
// must not allocate (or lock).
#include <gtest/gtest.h>

#include "kernel/kernel_test_support.h"
#include "support/allocation_counter.h"

namespace norvo::test {
namespace {

TEST(KernelAllocationTest, BlockEntryPointsNeverAllocate) {
  ASSERT_EQ(K(runtime_init)(), 0.0);
  const std::uint32_t handle = createDefault();
  ASSERT_NE(handle, 0u);

  double checksum = 0.0;
  AllocationCounts counts;
  {
    AllocationScope scope;
    for (int block = 0; block < 50; ++block) {
      checksum += K(push_event)(handle, 1, 0, 1, block % 6);
      checksum += K(push_event)(handle, 1, 0, 2, (block % 5) - 2);
      for (std::uint32_t note = 0; note < 30; ++note) {
        checksum += K(push_event)(handle, 2, note, 40 + note, 0.7);
        checksum += K(push_event)(handle, 3, note + 40, 40 + note, 0.0);
      }
      const norvo_kernel_input_event late[] = {
          {2, 90, 100, 0.5}, {3, 95, 100, 0.0}, {2, 1, 1, 1.0}};
      double refusal = 0.0;
      checksum += K(push_events)(handle, late, 3, &refusal) + refusal;
      checksum += K(push_event)(handle, 4, 127, 1, 0.5) + K(push_event)(0, 2, 0, 60, 1.0);
      checksum += K(process)(handle, block % 2 == 0 ? 128 : 100);
      checksum += K(process)(handle, 128);
      const auto count = static_cast<std::uint32_t>(K(event_output_count)(handle));
      for (std::uint32_t i = 0; i <= count; ++i) {
        checksum += K(event_output_frame)(handle, i) + K(event_output_kind)(handle, i) +
                    K(event_output_a)(handle, i) + K(event_output_b)(handle, i);
      }
      float* data = nullptr;
      std::size_t length = 0;
      K(input_view)(handle, &data, &length);
      K(output_view)(handle, &data, &length);
      K(collect)();
      if (block % 10 == 9) checksum += K(reset)(handle);
    }
    counts = scope.counts();
  }
  EXPECT_GT(checksum, 0.0);
  EXPECT_EQ(counts.allocations, 0u);
  EXPECT_EQ(counts.locks, 0u);

  // Control: the counter does see the allocation create makes for a new instance.
  AllocationScope scope;
  ASSERT_NE(createDefault(), 0u);
  EXPECT_GT(scope.counts().allocations, 0u);
}

}  // namespace
}  // namespace norvo::test
