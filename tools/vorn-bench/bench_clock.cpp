// vorn-bench clock: how smooth the music position is. Plays a stream (a
// generated 20-second tone unless a file is given) and reads the channel
// position once per 60 Hz frame, as the demo's frame loop does.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "command_registry.h"
#include "platform/fmod/fmod.h"
#include "platform/fmod/fmod_vorn.h"

namespace {

const char* clockName(VornFmodClock clock) {
  switch (clock) {
    case VornFmodClock::Device:
      return "device";
    case VornFmodClock::WallClock:
      return "wall clock";
    case VornFmodClock::Virtual:
      return "virtual";
    case VornFmodClock::None:
      break;
  }
  return "none";
}

int runClock(const std::vector<std::string>& args) {
  std::string file;
  double seconds = 20.0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--seconds" && i + 1 < args.size()) {
      seconds = std::atof(args[++i].c_str());
    } else if (!args[i].empty() && args[i][0] != '-') {
      file = args[i];
    } else {
      std::fprintf(stderr, "usage: vorn-bench clock [FILE.ogg] [--seconds N]\n");
      return 2;
    }
  }
  if (seconds <= 0) seconds = 20.0;
  if (file.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    file = std::string(tmp && *tmp ? tmp : "/tmp") + "/vorn-bench-clock-tone.ogg";
    if (!VornFmod_WriteTone(file.c_str(), seconds, 44100, 2, 440.0)) {
      std::fprintf(stderr, "clock: cannot write the test tone %s\n", file.c_str());
      return 1;
    }
  }

  FMOD_SYSTEM* system = nullptr;
  FMOD_SOUND* sound = nullptr;
  FMOD_CHANNEL* channel = nullptr;
  FMOD_System_Create(&system);
  FMOD_System_Init(system, 1, FMOD_INIT_NORMAL, nullptr);
  if (FMOD_System_CreateStream(system, file.c_str(), FMOD_LOOP_OFF | FMOD_2D | FMOD_SOFTWARE, nullptr, &sound) !=
      FMOD_OK) {
    std::fprintf(stderr, "clock: %s is not a playable Ogg Vorbis file\n", file.c_str());
  }
  FMOD_System_PlaySound(system, FMOD_CHANNEL_FREE, sound, false, &channel);
  FMOD_Channel_SetPosition(channel, 0, FMOD_TIMEUNIT_MS);
  unsigned int lengthMs = VornFmod_StreamLengthMs();
  double limitMs = std::min<double>(seconds * 1000.0, lengthMs ? lengthMs : seconds * 1000.0);

  using Clock = std::chrono::steady_clock;
  const auto frame = std::chrono::microseconds(16667);
  Clock::time_point start = Clock::now();
  Clock::time_point next = start;
  std::vector<unsigned int> readings;
  std::vector<double> readAt;  // wall time of each reading, ms
  for (;;) {
    unsigned int ms = 0;
    FMOD_Channel_GetPosition(channel, &ms, FMOD_TIMEUNIT_MS);
    readings.push_back(ms);
    readAt.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    // Stop at the end of the stream (the position then stands still).
    if (ms >= limitMs) break;
    if (std::chrono::duration<double>(Clock::now() - start).count() > seconds + 5.0) break;
    next += frame;
    std::this_thread::sleep_until(next);
  }
  double wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

  double largest = 0, smallest = 1e30, sum = 0;
  int backwards = 0, still = 0;
  std::vector<std::string> irregular;  // steps more than 3 ms off the frame time
  // The readings themselves come late when the machine is busy; how far a
  // step differs from the wall time between its two readings is the clock's
  // own unevenness (the first 100 ms, while playback starts, not counted).
  double worstDeviation = 0;
  for (std::size_t i = 1; i < readings.size(); ++i) {
    double step = static_cast<double>(readings[i]) - static_cast<double>(readings[i - 1]);
    bool last = i + 1 == readings.size();
    if (!last && readings[i - 1] >= 100) {
      worstDeviation = std::max(worstDeviation, std::abs(step - (readAt[i] - readAt[i - 1])));
    }
    if (!last && std::abs(step - 16.667) > 3.0) {
      irregular.push_back(std::to_string(readings[i - 1]) + "->" + std::to_string(readings[i]));
    }
    if (step < 0) ++backwards;
    if (step == 0) ++still;
    largest = std::max(largest, step);
    smallest = std::min(smallest, step);
    sum += step;
  }
  std::size_t steps = readings.size() > 1 ? readings.size() - 1 : 0;
  int period = VornFmod_DeviceCallbackFrames();
  std::printf("clock source      %s\n", clockName(VornFmod_ClockSource()));
  std::printf("stream            %s (%u ms)\n", file.c_str(), lengthMs);
  if (VornFmod_ClockSource() == VornFmodClock::Device) {
    std::printf("callback buffer   %d frames, latency estimate %d frames\n", period, VornFmod_DeviceLatencyFrames());
  }
  std::printf("readings          %zu at 60 Hz over %.0f ms\n", readings.size(), wallMs);
  std::printf("largest step      %.1f ms (frame time 16.7 ms)\n", steps ? largest : 0.0);
  std::printf("smallest step     %.1f ms\n", steps ? smallest : 0.0);
  std::printf("mean step         %.2f ms\n", steps ? sum / static_cast<double>(steps) : 0.0);
  std::printf("standing steps    %d\n", still);
  std::printf("step vs wall time worst %.1f ms (1 ms of it is millisecond rounding)\n", worstDeviation);
  std::printf("backwards steps   %d\n", backwards);
  std::printf("irregular steps   %zu (more than 3 ms off the frame time, the last step not counted)", irregular.size());
  for (std::size_t i = 0; i < irregular.size() && i < 8; ++i) std::printf("%s %s", i ? "," : ":", irregular[i].c_str());
  std::printf("\n");
  std::printf("final position    %u ms after %.0f ms of wall time\n", readings.empty() ? 0 : readings.back(), wallMs);

  FMOD_Sound_Release(sound);
  FMOD_System_Close(system);
  FMOD_System_Release(system);
  return backwards == 0 ? 0 : 1;
}

tools::Command clockCommand("clock", "clock [FILE.ogg] [--seconds N]", runClock);

}  // namespace
