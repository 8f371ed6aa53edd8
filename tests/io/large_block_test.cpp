// Arrays and file blocks from 2 MiB-aligned mapped memory: the same elements as from new[],
// destroyed when released, and the file's bytes exactly.
#include "io/large_block.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sceneio/body.h"
#include "sceneio/file_buffer.h"
#include "sceneio/types.h"
#include "support/buffer_of.h"

namespace sceneio {
namespace {

constexpr uintptr_t kHugePage = uintptr_t{2} << 20;

// Default member values that are not zero: fresh zero pages are not yet such elements.
struct NotZero {
  float weight = 1.5f;
  int32_t tag = -7;
};

bool HugeAligned(const void* block) {
  return reinterpret_cast<uintptr_t>(block) % kHugePage == 0;
}

// Element counts on both sides of the size from which a block is mapped.
template <typename T>
std::vector<int32_t> CountsAround() {
  const auto first = static_cast<int32_t>((kLargeBlockBytes + sizeof(T) - 1) / sizeof(T));
  return {first - 1, first, first + 1001};
}

template <typename T, typename Check>
void ExpectEveryElement(Check check) {
  for (const int32_t n : CountsAround<T>()) {
    SCOPED_TRACE(n);
    CountedArray<T> array;
    ASSERT_TRUE(array.Allocate(n));
    ASSERT_EQ(array.count, n);
    const bool large = static_cast<size_t>(n) * sizeof(T) >= kLargeBlockBytes;
    EXPECT_EQ(array.items.get_deleter().mappedCount, large ? static_cast<size_t>(n) : 0u);
    if (large) {
      EXPECT_TRUE(HugeAligned(array.items.get()));
    }
    int32_t wrong = 0;
    for (const T& item : array) wrong += check(item) ? 0 : 1;
    EXPECT_EQ(wrong, 0);
  }
}

TEST(LargeArray, ElementsAreValueInitialisedEitherSideOfTheSize) {
  ExpectEveryElement<int32_t>([](int32_t v) { return v == 0; });
  ExpectEveryElement<Vector3>([](const Vector3& v) { return v.x == 0 && v.y == 0 && v.z == 0; });
  ExpectEveryElement<Face>([](const Face& f) { return f.triple1[0] == 0 && f.triple3[2] == 0; });
  ExpectEveryElement<NotZero>([](const NotZero& v) { return v.weight == 1.5f && v.tag == -7; });
  ExpectEveryElement<Body>([](const Body& b) { return b.name.empty() && b.faces.count == 0; });
}

// Strings too long to sit inside the object: the leak checker sees any that is not destroyed.
TEST(LargeArray, ReleasesWhatItsElementsHold) {
  const int32_t n = CountsAround<Body>()[1];
  CountedArray<Body> bodies;
  ASSERT_TRUE(bodies.Allocate(n));
  for (int32_t i = 0; i < n; i += 97) {
    bodies.items[i].name.assign(64, 'b');
    ASSERT_TRUE(bodies.items[i].vertices.Allocate(3));
  }
  // A repeated section replaces the array; the earlier one and what it held are released.
  ASSERT_TRUE(bodies.Allocate(n + 1));
  EXPECT_TRUE(bodies.items[0].name.empty());
  bodies.items[n].name.assign(64, 'c');
}

TEST(LargeArray, WritableToTheLastElement) {
  CountedArray<Vector3> vertices;
  const int32_t n = CountsAround<Vector3>()[2];
  ASSERT_TRUE(vertices.Allocate(n));
  vertices.items[n - 1] = {1, 2, 3};
  EXPECT_EQ(vertices.items[n - 1].z, 3);
}

// The file block is mapped too from the large size on, and holds exactly the file.
TEST(LargeFileBlock, HoldsTheBytesExactly) {
  testing::TempDir dir;
  for (const size_t length : {kLargeBlockBytes - 1, kLargeBlockBytes, kLargeBlockBytes + 4095}) {
    SCOPED_TRACE(length);
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>('a' + i * 7 % 26);
    dir.Write("f/big.gof", bytes);
    FileBuffer file((dir.root().string() + "/f\\big.gof").c_str());
    ASSERT_NE(file.data, nullptr);
    ASSERT_EQ(file.size, static_cast<int32_t>(length));
    EXPECT_TRUE(std::string_view(file.data.get(), length) == bytes);
    EXPECT_EQ(file.data.get_deleter().mappedCount, length >= kLargeBlockBytes ? length : 0u);
    if (length >= kLargeBlockBytes) {
      EXPECT_TRUE(HugeAligned(file.data.get()));
    }
  }
}

// Sizes no mapping can have: none, or so near the top of the address range that rounding up to
// a page, or adding the huge page of slack, would wrap around to a small length.
TEST(LargeBlock, SizesThatCannotBeMappedGiveNull) {
  for (const size_t bytes : {size_t{0}, SIZE_MAX, SIZE_MAX - (size_t{3} << 20)}) {
    SCOPED_TRACE(bytes);
    EXPECT_EQ(MapLargeBlock(bytes), nullptr);
  }
  UnmapLargeBlock(nullptr, kLargeBlockBytes);  // nothing to give back, and no fault
}

// A count below zero is refused before it can become a huge unsigned size; zero elements make
// a present, empty array; a second Allocate replaces the first.
TEST(CountedArrayAllocate, NegativeZeroAndAgain) {
  CountedArray<NotZero> array;
  EXPECT_EQ(array.begin(), array.end());  // absent: no elements to visit
  ASSERT_TRUE(array.Allocate(3));
  EXPECT_FALSE(array.Allocate(-1));
  EXPECT_EQ(array.items, nullptr);
  EXPECT_EQ(array.count, 0);
  EXPECT_EQ(array.begin(), array.end());
  ASSERT_TRUE(array.Allocate(0));
  EXPECT_NE(array.items, nullptr);
  EXPECT_EQ(array.count, 0);
  EXPECT_EQ(array.begin(), array.end());
  ASSERT_TRUE(array.Allocate(2));
  EXPECT_EQ(array.count, 2);
  EXPECT_EQ(array.end() - array.begin(), 2);
  EXPECT_EQ(array.begin()->tag, -7);
}

}  // namespace
}  // namespace sceneio
