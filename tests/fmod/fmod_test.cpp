// The FMOD stand-in end to end: generated Ogg Vorbis tones played on SDL's
// dummy device (real-time consumption), the disk device (to check every
// sample), with no device, with a missing file, and on the virtual clock.
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/fmod/fmod.h"
#include "platform/fmod/fmod_vorn.h"
#include "platform/fmod/ogg_stream.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string tonePath(const std::string& name, double seconds, int rate, int channels) {
  std::string path = testing::TempDir() + name;
  EXPECT_TRUE(VornFmod_WriteTone(path.c_str(), seconds, rate, channels, 440.0));
  return path;
}

// The driver's start-up sequence; returns the channel.
struct Music {
  FMOD_SYSTEM* system = nullptr;
  FMOD_SOUND* sound = nullptr;
  FMOD_CHANNEL* channel = nullptr;
  FMOD_RESULT initResult = FMOD_OK;
  FMOD_RESULT streamResult = FMOD_OK;
  FMOD_RESULT playResult = FMOD_OK;

  explicit Music(const std::string& file) {
    EXPECT_EQ(FMOD_System_Create(&system), FMOD_OK);
    unsigned int version = 0;
    EXPECT_EQ(FMOD_System_GetVersion(system, &version), FMOD_OK);
    EXPECT_NE(version, 0u);
    initResult = FMOD_System_Init(system, 1, FMOD_INIT_NORMAL, nullptr);
    streamResult = FMOD_System_CreateStream(system, file.c_str(), FMOD_LOOP_OFF | FMOD_2D | FMOD_SOFTWARE, nullptr,
                                            &sound);
    playResult = FMOD_System_PlaySound(system, FMOD_CHANNEL_FREE, sound, false, &channel);
    EXPECT_EQ(FMOD_Channel_SetPosition(channel, 0, FMOD_TIMEUNIT_MS), FMOD_OK);
  }
  ~Music() {
    FMOD_Sound_Release(sound);
    FMOD_System_Close(system);
    FMOD_System_Release(system);
  }
  unsigned int position() {
    unsigned int ms = 0;
    EXPECT_EQ(FMOD_Channel_GetPosition(channel, &ms, FMOD_TIMEUNIT_MS), FMOD_OK);
    return ms;
  }
};

class FmodStream : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    VornFmod_EnableVirtualClock(false);
  }
};

TEST_F(FmodStream, DeviceClockRisesSteadilyThroughTheStreamAndOnPastItsEnd) {
  std::string path = tonePath("tone600.ogg", 0.6, 44100, 2);
  Clock::time_point start = Clock::now();
  Music music(path);
  EXPECT_EQ(music.initResult, FMOD_OK);
  EXPECT_EQ(music.streamResult, FMOD_OK);
  EXPECT_EQ(music.playResult, FMOD_OK);
  ASSERT_EQ(VornFmod_ClockSource(), VornFmodClock::Device);
  EXPECT_EQ(VornFmod_StreamLengthMs(), 600u);
  int period = VornFmod_DeviceCallbackFrames();
  EXPECT_GE(period, 512);
  EXPECT_LE(period, 1024);

  unsigned int last = 0;
  double reachedEndAt = -1;
  while (msSince(start) < 5000) {
    unsigned int now = music.position();
    double elapsed = msSince(start);
    ASSERT_GE(now, last) << "the clock never runs backwards";
    // It follows the audio, which cannot be ahead of real time (the clock's
    // speed is steered by at most 2%).
    ASSERT_LE(now, elapsed * 1.03 + 5) << "at " << elapsed << " ms";
    last = now;
    if (now >= 600u && reachedEndAt < 0) reachedEndAt = elapsed;
    if (now >= 900u) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_GT(reachedEndAt, 0) << "stopped at " << last << " ms";
  EXPECT_GE(reachedEndAt, 600 * 0.97) << "the 0.6 s tone took its time to play";
  // Past the end the device plays silence and the position runs on with it,
  // so that a show longer than its music still reaches its end.
  EXPECT_GE(last, 900u) << "the position stopped at the end of the stream";
}

TEST_F(FmodStream, SeekMovesThePositionBothWays) {
  std::string path = tonePath("tone2s.ogg", 2.0, 22050, 1);
  Music music(path);
  ASSERT_EQ(VornFmod_ClockSource(), VornFmodClock::Device);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));

  Clock::time_point seek = Clock::now();
  ASSERT_EQ(FMOD_Channel_SetPosition(music.channel, 1500, FMOD_TIMEUNIT_MS), FMOD_OK);
  unsigned int at = music.position();
  EXPECT_GE(at, 1500u);
  EXPECT_LE(at, 1500 + msSince(seek) * 1.03 + 5);
  while (music.position() < 1600 && msSince(seek) < 3000) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_GE(music.position(), 1600u) << "plays on from the new place";

  ASSERT_EQ(FMOD_Channel_SetPosition(music.channel, 100, FMOD_TIMEUNIT_MS), FMOD_OK);
  at = music.position();
  EXPECT_GE(at, 100u);
  EXPECT_LT(at, 1000u) << "a seek backwards is the one time the clock goes back";

  EXPECT_EQ(FMOD_Channel_SetPosition(music.channel, 5000, FMOD_TIMEUNIT_MS), FMOD_ERR_INVALID_PARAM)
      << "past the end";
  EXPECT_EQ(FMOD_Channel_SetPosition(music.channel, 0, 0x40), FMOD_ERR_INVALID_PARAM) << "unknown unit";

  // PCM frames and milliseconds name the same place.
  ASSERT_EQ(FMOD_Channel_SetPosition(music.channel, 11025, FMOD_TIMEUNIT_PCM), FMOD_OK);
  unsigned int ms = 0, pcm = 0;
  ASSERT_EQ(FMOD_Channel_GetPosition(music.channel, &pcm, FMOD_TIMEUNIT_PCM), FMOD_OK);
  ASSERT_EQ(FMOD_Channel_GetPosition(music.channel, &ms, FMOD_TIMEUNIT_MS), FMOD_OK);
  EXPECT_GE(pcm, 11025u);
  EXPECT_GE(ms, 500u);
  EXPECT_LT(ms, 900u);
}

TEST_F(FmodStream, MillisecondSeekReadsBackExactly) {
  std::string path = tonePath("tone1s.ogg", 1.0, 44100, 1);
  VornFmod_EnableVirtualClock(false);
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);  // wall clock: exact arithmetic
  Music music(path);
  EXPECT_EQ(music.initResult, FMOD_ERR_OUTPUT_INIT);
  ASSERT_EQ(VornFmod_ClockSource(), VornFmodClock::WallClock);
  // 1 ms is 44.1 frames: rounding the frame down would read back as 0 ms.
  ASSERT_EQ(FMOD_Channel_SetPosition(music.channel, 1, FMOD_TIMEUNIT_MS), FMOD_OK);
  unsigned int ms = 0;
  ASSERT_EQ(FMOD_Channel_GetPosition(music.channel, &ms, FMOD_TIMEUNIT_MS), FMOD_OK);
  EXPECT_GE(ms, 1u);
}

TEST_F(FmodStream, DiskDeviceReceivesEverySampleInOrder) {
  std::string path = tonePath("tone-disk.ogg", 2.5, 22050, 2);  // longer than the ring buffer
  std::string output = testing::TempDir() + "disk-out.raw";
  std::remove(output.c_str());
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "4", 1);  // faster than real time
  {
    Music music(path);
    ASSERT_EQ(VornFmod_ClockSource(), VornFmodClock::Device);
    Clock::time_point start = Clock::now();
    while (music.position() < VornFmod_StreamLengthMs() && msSince(start) < 10000) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GE(music.position(), VornFmod_StreamLengthMs());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }

  // The reference: the same file decoded directly.
  OggVorbis_File file;
  ASSERT_EQ(ov_fopen(path.c_str(), &file), 0);
  std::vector<float> reference;
  for (;;) {
    float** pcm = nullptr;
    int section = 0;
    long got = ov_read_float(&file, &pcm, 4096, &section);
    if (got <= 0) break;
    for (long i = 0; i < got; ++i) {
      reference.push_back(pcm[0][i]);
      reference.push_back(pcm[1][i]);
    }
  }
  ov_clear(&file);
  ASSERT_EQ(reference.size(), static_cast<std::size_t>(2 * 55125));

  std::ifstream raw(output, std::ios::binary | std::ios::ate);
  ASSERT_TRUE(raw.good());
  std::vector<float> played(static_cast<std::size_t>(raw.tellg()) / sizeof(float));
  raw.seekg(0);
  raw.read(reinterpret_cast<char*>(played.data()), static_cast<std::streamsize>(played.size() * sizeof(float)));
  ASSERT_GE(played.size(), reference.size());

  // The output is the reference with silence only around it (and, if the
  // machine was very busy, in underrun gaps): no frame lost, repeated or
  // swapped between channels.
  std::size_t k = 0;
  for (std::size_t i = 0; i + 1 < played.size() && k < reference.size(); i += 2) {
    if (played[i] == reference[k] && played[i + 1] == reference[k + 1]) {
      k += 2;
    } else {
      ASSERT_EQ(played[i], 0.0f) << "frame " << k / 2 << " of " << reference.size() / 2;
      ASSERT_EQ(played[i + 1], 0.0f) << "frame " << k / 2;
    }
  }
  EXPECT_EQ(k, reference.size()) << "every frame was played";
  std::remove(output.c_str());
}

TEST_F(FmodStream, ChainedSectionsWithOtherChannelsAndRatePlayToTheEnd) {
  // One legal stream: 1 s of stereo at 44.1 kHz, then 1 s of mono at 22.05 kHz.
  const std::string path = testing::TempDir() + "chain.ogg";
  {
    std::ofstream out(path, std::ios::binary);
    out << std::ifstream(tonePath("chain-a.ogg", 1.0, 44100, 2), std::ios::binary).rdbuf()
        << std::ifstream(tonePath("chain-b.ogg", 1.0, 22050, 1), std::ios::binary).rdbuf();
  }
  const std::string output = testing::TempDir() + "chain-out.raw";
  std::remove(output.c_str());
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "4", 1);
  {
    Music music(path);
    ASSERT_EQ(music.streamResult, FMOD_OK);
    ASSERT_EQ(VornFmod_ClockSource(), VornFmodClock::Device);
    EXPECT_EQ(VornFmod_StreamLengthMs(), 2000u) << "the mono half counts at its own rate";
    Clock::time_point start = Clock::now();
    while (music.position() < 2100 && msSince(start) < 10000) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GE(music.position(), 2100u);
  }
  std::ifstream raw(output, std::ios::binary | std::ios::ate);
  std::vector<float> played(static_cast<std::size_t>(raw.tellg()) / sizeof(float));
  raw.seekg(0);
  raw.read(reinterpret_cast<char*>(played.data()), static_cast<std::streamsize>(played.size() * sizeof(float)));
  std::remove(output.c_str());
  // Stereo frames at 44.1 kHz all through: the music spans 2 s, the first
  // half with two different channels, the second with the mono section on both.
  std::size_t first = played.size(), last = 0;
  for (std::size_t i = 0; i + 1 < played.size(); i += 2) {
    if (played[i] != 0.0f || played[i + 1] != 0.0f) {
      first = std::min(first, i / 2);
      last = i / 2;
    }
  }
  ASSERT_LT(first, last);
  EXPECT_NEAR(static_cast<double>(last - first), 88200.0, 1500.0);
  std::size_t differ = 0, loud = 0;
  for (std::size_t f = first; f < first + 44000; ++f) differ += played[2 * f] != played[2 * f + 1];
  for (std::size_t f = first + 46000; f < last; ++f) {
    ASSERT_EQ(played[2 * f], played[2 * f + 1]) << "frame " << f - first;
    loud += std::abs(played[2 * f]) > 0.3f;
  }
  EXPECT_GT(differ, 40000u);
  EXPECT_GT(loud, 10000u);

  // Read from the start without a seek, the legal stream delivers its whole
  // length from its first section on, and no report.
  std::string error;
  const auto stream = vorn::fmod::OggStream::openFile(std::fopen(path.c_str(), "rb"), &error);
  ASSERT_NE(stream, nullptr) << error;
  std::vector<float> block(2 * 4096);
  std::int64_t frames = 0;
  for (std::int64_t got; (got = stream->read(block.data(), 4096)) > 0;) frames += got;
  EXPECT_EQ(frames, 88200);
  EXPECT_EQ(stream->damage(), "");
}

// A ramp resampled in uneven blocks keeps its time: output frame k sits at
// input time k x from / to, interpolated between its neighbours.
TEST(Resampler, KeepsTimeAcrossBlocksBothWays) {
  for (const auto& [from, to] : {std::pair{22050, 44100}, std::pair{44100, 22050}, std::pair{32000, 44100}}) {
    vorn::fmod::Resampler resampler(from, to, 1);
    std::vector<float> ramp(1000), out;
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<float>(i);
    for (std::size_t at = 0; at < ramp.size(); at += 7) {
      resampler.push(ramp.data() + at, static_cast<std::int64_t>(std::min<std::size_t>(7, ramp.size() - at)), &out);
    }
    resampler.flush(&out);
    EXPECT_NEAR(static_cast<double>(out.size()), 1000.0 * to / from, 1.0) << from << " to " << to;
    for (std::size_t k = 0; k < out.size(); ++k) {
      const double time = std::min(static_cast<double>(k) * from / to, 999.0);
      ASSERT_NEAR(out[k], time, 1e-3) << from << " to " << to << ", frame " << k;
    }
  }
}

TEST_F(FmodStream, CutShortFileIsReportedOnceAndPlaysWhatItHas) {
  const std::string whole = tonePath("tone-cut.ogg", 20.0, 22050, 1);
  const std::string path = testing::TempDir() + "cut.ogg";
  std::ifstream in(whole, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::ofstream(path, std::ios::binary) << bytes.substr(0, bytes.size() * 2 / 3);
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  ::testing::internal::CaptureStderr();
  {
    Music music(path);
    EXPECT_EQ(music.streamResult, FMOD_OK);
    EXPECT_GT(VornFmod_StreamLengthMs(), 1000u);
    EXPECT_LT(VornFmod_StreamLengthMs(), 19000u);
  }
  const std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(printed.find("cut.ogg: the stream ends early"), std::string::npos) << printed;
  EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 2) << "one line for the file, one for the device:\n"
                                                                  << printed;
}

TEST_F(FmodStream, DamagedPageInTheMiddleIsSkippedAndReported) {
  // 20 s of tone spread over many pages loses one in the middle; 4 s of
  // tone has one audio page besides the last, and loses its start.
  for (const auto& [seconds, report] : {std::pair{20.0, "part of the audio data is damaged and was skipped"},
                                        std::pair{4.0, "its audio starts 3674 ms in"}}) {
    std::ifstream in(tonePath("tone-garbled.ogg", seconds, 22050, 1), std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i) bytes[i] ^= 0x5A;
    std::string error;
    const auto stream = vorn::fmod::OggStream::openMemory(bytes.data(), bytes.size(), &error);
    ASSERT_NE(stream, nullptr) << error;
    std::vector<float> block(4096);
    std::int64_t frames = 0;
    for (std::int64_t got; (got = stream->read(block.data(), 4096)) > 0;) frames += got;
    EXPECT_LT(frames, seconds * 22050);
    if (seconds > 10) {
      EXPECT_GT(frames, 10 * 22050) << "the rest plays on";
    }
    const std::string said = stream->unreportedDamage();
    EXPECT_EQ(said.rfind(report, 0), 0u) << seconds << " s: " << said << ", " << frames;
    EXPECT_EQ(stream->unreportedDamage(), "") << "told once";
  }
}

TEST_F(FmodStream, StreamWhoseDecoderCannotBeSetUpStaysSilentThroughSeeks) {
  // Found by the fuzzer: a codebook that libvorbis accepts when it reads the
  // headers but cannot build for decoding. The first attempt fails; a second
  // one, after any seek or read, divides by zero inside libvorbis.
  std::ifstream in(std::string(VORN_TEST_SOURCE_DIR) + "/fmod/corpus/codebook_fails_setup.ogg", std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(bytes.empty());
  std::string error;
  const auto stream = vorn::fmod::OggStream::openMemory(bytes.data(), bytes.size(), &error);
  ASSERT_NE(stream, nullptr) << error;
  std::vector<float> block(2 * 4096);
  for (std::int64_t at : {std::int64_t{0}, stream->length() / 2, std::int64_t{0}}) {
    EXPECT_FALSE(stream->seek(at));
    EXPECT_EQ(stream->read(block.data(), 4096), 0);
  }
  EXPECT_NE(stream->unreportedDamage(), "");
}

TEST_F(FmodStream, MissingFileRunsOnTheWallClock) {
  Clock::time_point start = Clock::now();
  Music music("no-such-music.ogg");
  EXPECT_EQ(music.streamResult, FMOD_ERR_FILE_NOTFOUND);
  ASSERT_NE(music.sound, nullptr) << "a silent sound still plays";
  EXPECT_EQ(music.playResult, FMOD_OK);
  EXPECT_EQ(VornFmod_ClockSource(), VornFmodClock::WallClock);
  EXPECT_EQ(VornFmod_StreamLengthMs(), 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  unsigned int first = music.position();
  double elapsed = msSince(start);
  EXPECT_GE(first, 120u);
  EXPECT_LE(first, elapsed + 1);
  ASSERT_EQ(FMOD_Channel_SetPosition(music.channel, 100000, FMOD_TIMEUNIT_MS), FMOD_OK) << "no length to pass";
  EXPECT_GE(music.position(), 100000u);
}

TEST_F(FmodStream, NonVorbisFileIsAFormatError) {
  std::string path = testing::TempDir() + "not-music.ogg";
  std::ofstream(path) << "this is text, not an Ogg stream\n";
  Music music(path);
  EXPECT_EQ(music.streamResult, FMOD_ERR_FORMAT);
  EXPECT_EQ(VornFmod_ClockSource(), VornFmodClock::WallClock);
}

TEST_F(FmodStream, NoAudioDeviceRunsTheWallClockThroughTheFileAndPastIt) {
  std::string path = tonePath("tone300.ogg", 0.3, 22050, 1);
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  Music music(path);
  EXPECT_EQ(music.initResult, FMOD_ERR_OUTPUT_INIT);
  EXPECT_EQ(music.streamResult, FMOD_OK);
  EXPECT_EQ(music.playResult, FMOD_ERR_OUTPUT_INIT);
  ASSERT_EQ(VornFmod_ClockSource(), VornFmodClock::WallClock);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_GE(music.position(), 400u) << "runs on past the end of the stream";
}

TEST_F(FmodStream, VirtualClockIsExactlyWhatWasSet) {
  VornFmod_EnableVirtualClock(true);
  std::string path = tonePath("tone-virtual.ogg", 0.2, 22050, 1);
  {
    Music music(path);
    EXPECT_EQ(music.initResult, FMOD_OK);
    EXPECT_EQ(VornFmod_ClockSource(), VornFmodClock::Virtual);
    EXPECT_EQ(VornFmod_StreamLengthMs(), 200u);
    EXPECT_EQ(music.position(), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(music.position(), 0u) << "time does not move it";
    VornFmod_SetVirtualPosition(174501);
    EXPECT_EQ(music.position(), 174501u) << "not limited to the stream";
    ASSERT_EQ(FMOD_Channel_SetPosition(music.channel, 777, FMOD_TIMEUNIT_MS), FMOD_OK);
    EXPECT_EQ(music.position(), 777u);
  }
  VornFmod_EnableVirtualClock(false);
  EXPECT_EQ(VornFmod_ClockSource(), VornFmodClock::None);
}

TEST_F(FmodStream, HandlesAreCheckedAndReleasedCleanly) {
  unsigned int value = 0;
  EXPECT_EQ(FMOD_System_Create(nullptr), FMOD_ERR_INVALID_PARAM);
  EXPECT_EQ(FMOD_System_GetVersion(nullptr, &value), FMOD_ERR_INVALID_HANDLE);
  EXPECT_EQ(FMOD_Channel_GetPosition(nullptr, &value, FMOD_TIMEUNIT_MS), FMOD_ERR_INVALID_HANDLE);
  int notAHandle = 0;
  EXPECT_EQ(FMOD_Channel_GetPosition(reinterpret_cast<FMOD_CHANNEL*>(&notAHandle), &value, FMOD_TIMEUNIT_MS),
            FMOD_ERR_INVALID_HANDLE);

  std::string path = tonePath("tone-handles.ogg", 1.0, 22050, 1);
  FMOD_SYSTEM* system = nullptr;
  ASSERT_EQ(FMOD_System_Create(&system), FMOD_OK);
  EXPECT_EQ(FMOD_System_Init(system, 0, FMOD_INIT_NORMAL, nullptr), FMOD_ERR_INVALID_PARAM);
  ASSERT_EQ(FMOD_System_Init(system, 1, FMOD_INIT_NORMAL, nullptr), FMOD_OK);
  FMOD_SOUND* sound = nullptr;
  ASSERT_EQ(FMOD_System_CreateStream(system, path.c_str(), 0x49, nullptr, &sound), FMOD_OK);
  EXPECT_EQ(FMOD_System_PlaySound(system, FMOD_CHANNEL_FREE, nullptr, false, nullptr), FMOD_ERR_INVALID_PARAM);
  FMOD_CHANNEL* first = nullptr;
  FMOD_CHANNEL* second = nullptr;
  ASSERT_EQ(FMOD_System_PlaySound(system, FMOD_CHANNEL_FREE, sound, false, &first), FMOD_OK);
  // One channel: playing again takes it over, and the old handle is dead.
  ASSERT_EQ(FMOD_System_PlaySound(system, FMOD_CHANNEL_FREE, sound, true, &second), FMOD_OK);
  EXPECT_EQ(FMOD_Channel_GetPosition(first, &value, FMOD_TIMEUNIT_MS), FMOD_ERR_INVALID_HANDLE);
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  ASSERT_EQ(FMOD_Channel_GetPosition(second, &value, FMOD_TIMEUNIT_MS), FMOD_OK);
  EXPECT_EQ(value, 0u) << "started paused";

  // Releasing the sound stops its channel; the threads end with it.
  ASSERT_EQ(FMOD_Sound_Release(sound), FMOD_OK);
  EXPECT_EQ(FMOD_Channel_GetPosition(second, &value, FMOD_TIMEUNIT_MS), FMOD_ERR_INVALID_HANDLE);
  EXPECT_EQ(FMOD_Sound_Release(sound), FMOD_ERR_INVALID_HANDLE);
  EXPECT_EQ(VornFmod_StreamLengthMs(), 0u);
  ASSERT_EQ(FMOD_System_Close(system), FMOD_OK);
  ASSERT_EQ(FMOD_System_Release(system), FMOD_OK);
  EXPECT_EQ(FMOD_System_Release(system), FMOD_ERR_INVALID_HANDLE);
}

TEST_F(FmodStream, ClosingWhilePlayingStopsEverything) {
  std::string path = tonePath("tone-close.ogg", 1.0, 44100, 2);
  for (int round = 0; round < 3; ++round) {
    FMOD_SYSTEM* system = nullptr;
    ASSERT_EQ(FMOD_System_Create(&system), FMOD_OK);
    ASSERT_EQ(FMOD_System_Init(system, 1, FMOD_INIT_NORMAL, nullptr), FMOD_OK);
    FMOD_SOUND* sound = nullptr;
    ASSERT_EQ(FMOD_System_CreateStream(system, path.c_str(), 0x49, nullptr, &sound), FMOD_OK);
    FMOD_CHANNEL* channel = nullptr;
    ASSERT_EQ(FMOD_System_PlaySound(system, FMOD_CHANNEL_FREE, sound, false, &channel), FMOD_OK);
    FMOD_Channel_SetPosition(channel, 300, FMOD_TIMEUNIT_MS);
    std::this_thread::sleep_for(std::chrono::milliseconds(10 * round));
    // Release in the other order: the system takes its sound with it.
    ASSERT_EQ(FMOD_System_Release(system), FMOD_OK);
    EXPECT_EQ(FMOD_Sound_Release(sound), FMOD_ERR_INVALID_HANDLE);
  }
}

}  // namespace
