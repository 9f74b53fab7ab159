// The music clock on simulated devices: counter time in microseconds,
// callbacks with jitter, stalls, underruns, drift and seeks.
#include "platform/fmod/music_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using vorn::fmod::MusicClock;

constexpr std::int64_t kRate = 44100;
constexpr std::int64_t kTicks = 1000000;  // counter: microseconds
constexpr std::int64_t kPeriod = 1024;
constexpr std::int64_t kLag = static_cast<std::int64_t>(kPeriod * MusicClock::kLagBuffers);

// A device that takes one buffer per period (scaled by `speed`, jittered by
// up to `jitterUs`), read by a frame loop every 16.667 ms.
struct Simulation {
  MusicClock clock;
  std::int64_t latency = 0;
  double speed = 1.0;
  int jitterUs = 0;
  std::mt19937 random{1234};

  std::int64_t nextCallback = 0;  // counter time of the next nominal callback
  std::int64_t nextFrame = 0;     // stream frame the next buffer starts with
  std::int64_t time = 0;

  void configure() {
    clock.configure(kRate, kTicks, latency, kPeriod);
    clock.start(0);
  }

  // Runs callbacks up to time `until`; `stalled` holds the device back.
  void runTo(std::int64_t until, bool stalled = false) {
    std::uniform_int_distribution<int> jitter(0, std::max(jitterUs, 0));
    while (!stalled && nextCallback <= until) {
      std::int64_t at = nextCallback + (jitterUs > 0 ? jitter(random) : 0);
      clock.onBuffer(nextFrame, kPeriod, false, at);
      nextFrame += kPeriod;
      nextCallback += static_cast<std::int64_t>(kPeriod * kTicks / (kRate * speed));
    }
    if (stalled) nextCallback = std::max(nextCallback, until);
    time = until;
  }

  // Frame-loop readings for `seconds`, returned in milliseconds.
  std::vector<double> readFor(double seconds) {
    std::vector<double> readings;
    std::int64_t end = time + static_cast<std::int64_t>(seconds * kTicks);
    for (std::int64_t t = time; t <= end; t += 16667) {
      runTo(t);
      readings.push_back(static_cast<double>(clock.position(t)) * 1000.0 / kRate);
    }
    return readings;
  }
};

double largestStep(const std::vector<double>& readings) {
  double largest = 0;
  for (std::size_t i = 1; i < readings.size(); ++i) largest = std::max(largest, readings[i] - readings[i - 1]);
  return largest;
}

bool monotonic(const std::vector<double>& readings) {
  for (std::size_t i = 1; i < readings.size(); ++i) {
    if (readings[i] < readings[i - 1]) return false;
  }
  return true;
}

TEST(MusicClock, JitteryCallbacksGiveFrameSizedStepsNotBufferSizedOnes) {
  Simulation sim;
  sim.jitterUs = 3000;
  sim.configure();
  sim.readFor(1.0);  // settle
  std::vector<double> readings = sim.readFor(5.0);
  EXPECT_TRUE(monotonic(readings));
  // A raw callback count would step by whole buffers (23.2 ms) or stand
  // still; the time base steps by the frame time.
  double largest = largestStep(readings);
  EXPECT_LT(largest, 16.667 + 1.5);
  double smallest = 1e9;
  for (std::size_t i = 1; i < readings.size(); ++i) smallest = std::min(smallest, readings[i] - readings[i - 1]);
  EXPECT_GT(smallest, 16.667 - 1.5);
  // And it keeps up with the audio: behind the time of the reading by the
  // time base's lag and the mean lateness of the callbacks (1.5 ms).
  double margin = kLag * 1000.0 / kRate;
  EXPECT_NEAR(readings.back(), sim.time / 1000.0 - margin - 1.5, 2.0);
}

TEST(MusicClock, HoldsAtTheStartUntilTheDeviceTakesAudio) {
  MusicClock clock;
  clock.configure(kRate, kTicks, kPeriod, kPeriod);
  clock.start(4410);
  EXPECT_EQ(clock.position(0), 4410);
  EXPECT_EQ(clock.position(500000), 4410) << "no buffer taken yet";
  clock.onBuffer(4410, kPeriod, false, 600000);
  // The device still plays one buffer of what came before.
  EXPECT_EQ(clock.position(600000), 4410);
  EXPECT_EQ(clock.position(600000 + 20000), 4410);
  // After the latency and the time base's lag, the new audio is heard.
  clock.onBuffer(4410 + kPeriod, kPeriod, false, 600000 + kPeriod * kTicks / kRate);
  std::int64_t heard = 600000 + (kPeriod + kLag) * kTicks / kRate;
  EXPECT_NEAR(clock.position(heard + 10000), 4410 + 10000 * kRate / kTicks, 2);
}

TEST(MusicClock, StalledDeviceStopsTheClockWithinOneBuffer) {
  Simulation sim;
  sim.configure();
  sim.readFor(1.0);
  std::int64_t lastBufferEnd = sim.nextFrame;  // frames handed to the device
  sim.runTo(sim.time + 500000, true);         // half a second without callbacks
  std::int64_t stalled = sim.clock.position(sim.time);
  EXPECT_LE(stalled, lastBufferEnd) << "never beyond what the device was given";
  EXPECT_EQ(sim.clock.position(sim.time + 2000000), stalled) << "the clock does not run away";

  // When the device comes back the clock carries on from where it stood.
  sim.nextCallback = sim.time;
  std::vector<double> readings = sim.readFor(1.0);
  EXPECT_TRUE(monotonic(readings));
  EXPECT_GE(readings.front(), stalled * 1000.0 / kRate);
  EXPECT_GT(readings.back(), readings.front() + 900.0);
}

TEST(MusicClock, UnderrunHoldsThenRebasesWithoutGoingBack) {
  MusicClock clock;
  clock.configure(kRate, kTicks, 0, kPeriod);
  clock.start(0);
  std::int64_t t = 0, frame = 0, step = kPeriod * kTicks / kRate;
  for (int i = 0; i < 40; ++i, t += step, frame += kPeriod) clock.onBuffer(frame, kPeriod, false, t);
  // A short buffer: only 100 frames decoded, then silence for 5 buffers.
  clock.onBuffer(frame, 100, true, t);
  frame += 100;
  std::int64_t before = clock.position(t);
  std::vector<std::int64_t> during;
  for (int i = 1; i <= 5; ++i) {
    clock.onBuffer(frame, 0, true, t + i * step);
    during.push_back(clock.position(t + i * step));
  }
  for (std::int64_t p : during) {
    EXPECT_GE(p, before);
    EXPECT_LE(p, frame) << "not past the audio actually played";
  }
  // Audio flows again: the position picks up from the resumed frame.
  std::int64_t resume = t + 6 * step;
  std::int64_t resumed = frame;
  for (std::int64_t at = resume; at <= resume + 100000; at += step, frame += kPeriod) {
    clock.onBuffer(frame, kPeriod, false, at);
  }
  std::int64_t after = clock.position(resume + 100000);
  EXPECT_GE(after, during.back());
  EXPECT_NEAR(static_cast<double>(after),
              static_cast<double>(resumed + 100000 * kRate / kTicks - kLag), kPeriod / 8);
}

TEST(MusicClock, FollowsADeviceThatRunsFastOrSlow) {
  for (double speed : {1.01, 0.99}) {
    Simulation sim;
    sim.speed = speed;
    sim.jitterUs = 1000;
    sim.configure();
    sim.readFor(20.0);
    std::vector<double> readings = sim.readFor(2.0);
    EXPECT_TRUE(monotonic(readings));
    double deviceMs = sim.nextFrame * 1000.0 / kRate;  // audio handed over so far
    EXPECT_NEAR(readings.back(), deviceMs, 30.0) << "speed " << speed;
    EXPECT_LT(largestStep(readings), 16.667 * speed + 2.0);
  }
}

TEST(MusicClock, SeekRestartsAnywhere) {
  Simulation sim;
  sim.configure();
  sim.readFor(1.0);
  std::int64_t t = sim.time;
  // Backwards: the position may go back once, to the seek target.
  sim.clock.start(kRate / 2);
  EXPECT_EQ(sim.clock.position(t), kRate / 2);
  sim.nextFrame = kRate / 2;
  std::vector<double> readings = sim.readFor(1.0);
  EXPECT_TRUE(monotonic(readings));
  EXPECT_GE(readings.front(), 500.0);
  // It runs from the first buffer after the seek (up to one period later),
  // behind by the time base's lag.
  double played = (sim.time - t) / 1000.0;
  double periodMs = kPeriod * 1000.0 / kRate;
  double lagMs = kLag * 1000.0 / kRate;
  EXPECT_LE(readings.back(), 500.0 + played - lagMs + 0.1);
  EXPECT_GE(readings.back(), 500.0 + played - lagMs - periodMs - 0.1);
}

}  // namespace
