// Placeholder removed once real suites exist.
#include <gtest/gtest.h>
TEST(Smoke, Builds) {
  SUCCEED();
}
