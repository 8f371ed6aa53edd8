// Every allocation of a whole load made to fail in turn, the first, the second and so on until
// the load no longer allocates that many times. Whichever one fails, the load ends with -1 (an
// allocation failure is never passed over), nothing leaks, and the Scene destroys cleanly.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "faults/allocation_counter.h"
#include "sceneio/scene.h"
#include "support/buffer_of.h"

namespace sceneio {
namespace {

using testing::kSampleCopyGroup;
using testing::TempDir;

// Makes allocation 1, 2, ... of a load of `group` fail in turn until the load no longer takes
// that many; returns how many it takes.
size_t FailEachAllocationInTurn(const std::string& group) {
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
      return n;
    }
    EXPECT_EQ(result, -1);
    if (n >= 100000u) {
      ADD_FAILURE() << "the load never stops allocating";
      return n;
    }
  }
}

// One body whose object file and vertex array are both large enough to be mapped on their own
// rather than taken through operator new.
void WriteLargeBlockScene(const TempDir& dir) {
  dir.Write("dork/dork.grp", kSampleCopyGroup);
  dir.Write("dork/s.lgt", "< >\n");
  dir.Write("dork/s.cam", ") ( )\n");
  dir.Write("dork/s.gmf", "\n");
  std::string objects = "body \"b\" (\nvertices[] <\n";
  for (int i = 0; i < 400000; ++i) objects += "v 1 2 3, 0 0 1\n";
  dir.Write("dork/s.gof", objects + ">\n)\n");
}

constexpr struct {
  const char* name;
  void (*write)(const TempDir&);
  size_t leastAllocations;
} kScenes[] = {
    // Every kind of record and every object section, so each parser's arrays and strings are
    // among the allocations that fail.
    {"the sample", testing::WriteSampleCopy, 20},
    {"a file block and an array mapped on their own", WriteLargeBlockScene, 8},
};

TEST(AllocationFailure, EveryFailureEndsTheLoadAndLeaksNothing) {
  for (const auto& c : kScenes) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    c.write(dir);
    const std::string group = dir.GroupPath();
    {
      Scene whole;
      ASSERT_EQ(whole.Load(group.c_str()), 0);
      ASSERT_GT(whole.objects.count, 0);
    }
    EXPECT_GT(FailEachAllocationInTurn(group), c.leastAllocations);
  }
}

}  // namespace
}  // namespace sceneio
