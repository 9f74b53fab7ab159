#include <gtest/gtest.h>

#include "effects/effects_test_support.h"
#include "effects/random.h"

namespace {

TEST(VornRandTest, ClassicSequenceFromSeedOne) {
  vornSeedRandom(1);
  const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int value : expected) EXPECT_EQ(vornRand(), value);
}

TEST(VornRandTest, StaysInRangeAndMatchesTheReferenceModel) {
  vornSeedRandom(12345);
  ReferenceRand reference(12345);
  for (int i = 0; i < 100000; ++i) {
    const int value = vornRand();
    ASSERT_GE(value, 0);
    ASSERT_LE(value, VORN_RAND_MAX);
    ASSERT_EQ(value, reference.next()) << i;
  }
}

TEST(VornRandTest, ReferenceCanAimAtAValue) {
  vornSeedRandom(ReferenceRand::stateBefore(491));
  EXPECT_EQ(vornRand(), 491);
}

}  // namespace
