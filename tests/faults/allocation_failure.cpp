// Every allocation of a whole load made to fail in turn, the first, the second and so on until
// the load no longer allocates that many times. Whichever one fails, the load ends with -1 (an
// allocation failure is never passed over), nothing leaks, and the Scene destroys cleanly.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "faults/allocation_counter.h"
#include "scene/scene.h"
#include "support/buffer_of.h"

namespace sceneio {
namespace {

using testing::TempDir;

TEST(AllocationFailure, EveryFailureEndsTheLoadAndLeaksNothing) {
  // The sample has every kind of record and every object section, so each parser's arrays and
  // strings are among the allocations that fail.
  TempDir dir;
  testing::WriteSampleCopy(dir);
  const std::string group = dir.GroupPath();
  {
    Scene whole;
    ASSERT_EQ(whole.Load(group.c_str()), 0);
    ASSERT_GT(whole.objects.count, 0);
  }

  size_t n = 1;
  for (;; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " fails");
    const size_t heldBefore = testing::HeldBytes();
    bool failed = false;
    int32_t result = 0;
    {
      Scene scene;
      testing::FailAllocation(n);
      result = scene.Load(group.c_str());
      failed = testing::StopFailing();
    }
    EXPECT_EQ(testing::HeldBytes(), heldBefore);
    if (!failed) {
      EXPECT_EQ(result, 0);
      break;
    }
    EXPECT_EQ(result, -1);
    ASSERT_LT(n, 100000u) << "the load never stops allocating";
  }
  EXPECT_GT(n, 20u);  // the scene above takes dozens of allocations
}

}  // namespace
}  // namespace sceneio
