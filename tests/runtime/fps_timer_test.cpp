// Frame timers, driven by a controllable performance counter.
#include <gtest/gtest.h>

#include "platform/win32/win32_vorn.h"
#include "runtime/fps_timer.h"

namespace {

class FpsTimerTest : public ::testing::Test {
 protected:
  static constexpr std::int64_t kFrequency = 1200000;  // divisible by 60

  void SetUp() override {
    VornWin32_SetPerformanceCounterSource([this] { return counter; }, kFrequency);
  }
  void TearDown() override { VornWin32_SetPerformanceCounterSource(nullptr, 0); }

  std::int64_t counter = 0;
};

TEST_F(FpsTimerTest, AfterResetReportsOne) {
  FPSTimer_HighResolution timer;
  timer.fps = 500.0f;
  timer.lastCount = 77;
  timer.reset();
  EXPECT_EQ(timer.fps, 0.0f);
  EXPECT_EQ(timer.lastCount, 0);
  EXPECT_EQ(timer.framesPerSecond(), 1.0f);
  EXPECT_EQ(timer.perFrame(120.0f), 1.0f);
}

TEST_F(FpsTimerTest, MeasuresTheLastFrameOnly) {
  FPSTimer_HighResolution timer;
  timer.reset();
  counter = 10 * kFrequency;
  timer.update();  // first update measures the time since the origin
  EXPECT_FLOAT_EQ(timer.fps, 0.1f);
  EXPECT_EQ(timer.framesPerSecond(), 1.0f);
  EXPECT_EQ(timer.lastCount, counter);

  counter += kFrequency / 60;
  timer.update();
  EXPECT_EQ(timer.framesPerSecond(), 60.0f);
  EXPECT_EQ(timer.perFrame(120.0f), 2.0f);

  counter += kFrequency / 30;  // no averaging with the previous frame
  timer.update();
  EXPECT_EQ(timer.framesPerSecond(), 30.0f);
}

TEST_F(FpsTimerTest, SlowFrameReportsOne) {
  FPSTimer_HighResolution timer;
  counter = 1;
  timer.update();
  counter += 2 * kFrequency;
  timer.update();
  EXPECT_EQ(timer.fps, 0.5f);
  EXPECT_EQ(timer.framesPerSecond(), 1.0f);
  EXPECT_EQ(timer.perFrame(7.0f), 1.0f);  // not perSecond
}

TEST_F(FpsTimerTest, ZeroIntervalKeepsThePreviousRate) {
  FPSTimer_HighResolution timer;
  counter = 5;
  timer.update();
  counter += kFrequency / 100;
  timer.update();
  ASSERT_EQ(timer.framesPerSecond(), 100.0f);
  timer.update();  // same reading: nothing measured
  EXPECT_EQ(timer.fps, 100.0f);
  EXPECT_EQ(timer.framesPerSecond(), 100.0f);
}

TEST_F(FpsTimerTest, FixedTimerIgnoresTheClock) {
  struct Fixed : FPS_Timer {};
  Fixed timer;
  timer.reset();
  counter = 3;
  timer.update();
  counter = 999999;
  timer.update();
  EXPECT_EQ(timer.framesPerSecond(), 60.0f);
  EXPECT_EQ(timer.perFrame(30.0f), 0.5f);
}

}  // namespace
