// The FMOD Ex flat functions Vorn uses, over an audio output (audio_output.h)
// and libvorbisfile.
//
// A channel's position comes from one of three clocks:
// - Device: the stream plays on an audio device (see MusicClock);
// - WallClock: no device could be opened, or the file could not be read:
//   the position runs with real time from PlaySound, so the show still runs;
// - Virtual: offline tools set the position themselves, no device is used.
//
// Where something fails, the result code says so, and the handles still work
// in the degraded mode: a stream whose file is missing is a silent sound that
// plays on the wall clock; a channel without a device runs on the wall clock.
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <map>
#include <string>
#include <vector>

#include "platform/files/files.h"
#include "platform/fmod/device_playback.h"
#include "platform/fmod/fmod.h"
#include "platform/fmod/fmod_vorn.h"

struct FMOD_SYSTEM;
struct FMOD_SOUND;
struct FMOD_CHANNEL;

namespace vorn::fmod {

namespace {

constexpr unsigned int kVersion = 0x00044400;  // 4.44.00
constexpr std::int64_t kNominalRate = 44100;   // for PCM units without a file

std::atomic<bool> gVirtualEnabled{false};
std::atomic<unsigned int> gVirtualPosition{0};
std::atomic<VornFmodClock> gLastClock{VornFmodClock::None};
std::atomic<unsigned int> gLastLengthMs{0};
const void* gLastStream = nullptr;  // the stream gLastLengthMs describes
std::atomic<int> gDeviceCallbackFrames{0};
std::atomic<int> gDeviceLatencyFrames{0};

// One lock for the API: the calls are cheap and come from the main thread.
std::recursive_mutex& apiMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

// Handles are numbers that are never reused (with the kind in the low bits),
// so that a stale or foreign handle is refused even when its object's memory
// has been given to a new one.
enum class Kind : std::uintptr_t { System = 1, Sound = 2, Channel = 3 };

std::map<std::uintptr_t, void*>& handleTable() {
  static std::map<std::uintptr_t, void*> table;
  return table;
}
std::uintptr_t gNextHandle = 1;

std::uintptr_t registerHandle(void* object, Kind kind) {
  std::uintptr_t handle = (gNextHandle++ << 4) | static_cast<std::uintptr_t>(kind);
  handleTable()[handle] = object;
  return handle;
}

void unregisterHandle(std::uintptr_t handle) { handleTable().erase(handle); }

void* lookupHandle(const void* handle, Kind kind) {
  auto value = reinterpret_cast<std::uintptr_t>(handle);
  if ((value & 0xF) != static_cast<std::uintptr_t>(kind)) return nullptr;
  auto found = handleTable().find(value);
  return found == handleTable().end() ? nullptr : found->second;
}

std::int64_t steadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

struct System;
struct Channel;

struct Sound {
  std::uintptr_t handle = 0;
  System* system = nullptr;
  bool open = false;  // false: the silent stand-in of an unreadable file
  OggVorbis_File file{};
  std::int64_t rate = kNominalRate;
  std::int64_t length = -1;  // frames, -1 when unknown
  Channel* playing = nullptr;
};

// Tests may run the wall clock faster (VORN_WALL_CLOCK_SPEED, 0.01 to 1000;
// 1 when unset) so that a whole show without music passes in seconds.
double wallClockSpeed() {
  static const double speed = [] {
    const char* text = std::getenv("VORN_WALL_CLOCK_SPEED");
    double value = text ? std::atof(text) : 1.0;
    return value >= 0.01 && value <= 1000.0 ? value : 1.0;
  }();
  return speed;
}

struct Channel {
  std::uintptr_t handle = 0;
  System* system = nullptr;
  Sound* sound = nullptr;
  VornFmodClock clock = VornFmodClock::None;
  std::unique_ptr<DevicePlayback> device;
  bool paused = false;
  // Wall clock: the position was `wallFrame` at steady time `wallStart`.
  std::int64_t wallFrame = 0;
  std::int64_t wallStart = 0;
  std::int64_t pausedFrame = 0;

  std::int64_t rate() const { return sound ? sound->rate : kNominalRate; }
  std::int64_t length() const { return sound ? sound->length : -1; }

  std::int64_t positionFrames() {
    switch (clock) {
      case VornFmodClock::Device:
        return paused ? pausedFrame : device->positionFrames();
      case VornFmodClock::WallClock: {
        if (paused) return pausedFrame;
        double elapsed = static_cast<double>(steadyNanoseconds() - wallStart) * 1e-9 * wallClockSpeed();
        auto frame = wallFrame + static_cast<std::int64_t>(std::floor(elapsed * static_cast<double>(rate())));
        return length() >= 0 ? std::min(frame, length()) : frame;
      }
      case VornFmodClock::Virtual:
        return static_cast<std::int64_t>(gVirtualPosition.load()) * rate() / 1000;
      case VornFmodClock::None:
        break;
    }
    return 0;
  }
};

struct System {
  std::uintptr_t handle = 0;
  bool initialized = false;
  bool audioStarted = false;  // audio subsystem taken by Init
  bool audioFailed = false;
  bool virtualClock = false;
  int maxChannels = 0;
  std::vector<std::unique_ptr<Sound>> sounds;
  std::vector<std::unique_ptr<Channel>> channels;  // oldest first
};

namespace {

System* asSystem(FMOD_SYSTEM* handle) { return static_cast<System*>(lookupHandle(handle, Kind::System)); }
Sound* asSound(FMOD_SOUND* handle) { return static_cast<Sound*>(lookupHandle(handle, Kind::Sound)); }
Channel* asChannel(FMOD_CHANNEL* handle) { return static_cast<Channel*>(lookupHandle(handle, Kind::Channel)); }

// Stops a channel and frees it; its handle becomes invalid.
void dropChannel(System* system, Channel* channel) {
  unregisterHandle(channel->handle);
  channel->device.reset();
  if (channel->sound && channel->sound->playing == channel) channel->sound->playing = nullptr;
  auto& list = system->channels;
  list.erase(std::remove_if(list.begin(), list.end(), [channel](const auto& c) { return c.get() == channel; }),
             list.end());
}

void dropSound(System* system, Sound* sound) {
  if (sound->playing) dropChannel(system, sound->playing);
  unregisterHandle(sound->handle);
  if (sound->open) ov_clear(&sound->file);
  if (gLastStream == sound) {
    gLastStream = nullptr;
    gLastLengthMs = 0;
  }
  auto& list = system->sounds;
  list.erase(std::remove_if(list.begin(), list.end(), [sound](const auto& s) { return s.get() == sound; }),
             list.end());
}

void closeSystem(System* system) {
  while (!system->channels.empty()) dropChannel(system, system->channels.front().get());
  while (!system->sounds.empty()) dropSound(system, system->sounds.front().get());
  if (system->audioStarted) stopAudio();
  system->audioStarted = false;
  system->audioFailed = false;
  system->initialized = false;
  gLastClock = VornFmodClock::None;
}

std::int64_t framesFromUnit(unsigned int position, FMOD_TIMEUNIT unit, std::int64_t rate) {
  if (unit == FMOD_TIMEUNIT_PCM) return position;
  // Rounded up, so that reading back in milliseconds gives the same value.
  return (static_cast<std::int64_t>(position) * rate + 999) / 1000;
}

unsigned int unitFromFrames(std::int64_t frames, FMOD_TIMEUNIT unit, std::int64_t rate) {
  if (frames < 0) frames = 0;
  std::int64_t value = unit == FMOD_TIMEUNIT_PCM ? frames : frames * 1000 / rate;
  return static_cast<unsigned int>(std::min<std::int64_t>(value, 0xFFFFFFFFll));
}

// Starts a channel's clock at a frame.
void startAt(Channel* channel, std::int64_t frame) {
  switch (channel->clock) {
    case VornFmodClock::Device:
      channel->pausedFrame = frame;
      if (!channel->paused) channel->device->playFrom(frame);
      break;
    case VornFmodClock::WallClock:
      channel->pausedFrame = frame;
      channel->wallFrame = frame;
      channel->wallStart = steadyNanoseconds();
      break;
    case VornFmodClock::Virtual:
      gVirtualPosition = unitFromFrames(frame, FMOD_TIMEUNIT_MS, channel->rate());
      break;
    case VornFmodClock::None:
      break;
  }
}

}  // namespace

}  // namespace vorn::fmod

using namespace vorn::fmod;

FMOD_RESULT FMOD_System_Create(FMOD_SYSTEM** system) {
  if (!system) return FMOD_ERR_INVALID_PARAM;
  std::lock_guard<std::recursive_mutex> lock(apiMutex());
  auto* created = new System();
  created->virtualClock = gVirtualEnabled.load();
  created->handle = registerHandle(created, Kind::System);
  *system = reinterpret_cast<FMOD_SYSTEM*>(created->handle);
  return FMOD_OK;
}

FMOD_RESULT FMOD_System_GetVersion(FMOD_SYSTEM* handle, unsigned int* version) {
  std::lock_guard<std::recursive_mutex> lock(apiMutex());
  if (!asSystem(handle)) return FMOD_ERR_INVALID_HANDLE;
  if (!version) return FMOD_ERR_INVALID_PARAM;
  *version = kVersion;
  return FMOD_OK;
}

FMOD_RESULT FMOD_System_Init(FMOD_SYSTEM* handle, int maxChannels, FMOD_INITFLAGS, void*) {
  std::lock_guard<std::recursive_mutex> lock(apiMutex());
  System* system = asSystem(handle);
  if (!system) return FMOD_ERR_INVALID_HANDLE;
  if (maxChannels < 1 || maxChannels > 4093) return FMOD_ERR_INVALID_PARAM;
  if (system->initialized) closeSystem(system);
  system->maxChannels = maxChannels;
  system->initialized = true;
  if (system->virtualClock) return FMOD_OK;
  std::string error;
  if (!startAudio(&error)) {
    // Still usable: channels run on the wall clock.
    std::fprintf(stderr, "FMOD_System_Init: no audio (%s); the music position follows the clock\n",
                 error.c_str());
    system->audioFailed = true;
    return FMOD_ERR_OUTPUT_INIT;
  }
  system->audioStarted = true;
  return FMOD_OK;
}

FMOD_RESULT FMOD_System_CreateStream(FMOD_SYSTEM* handle, const char* name, FMOD_MODE mode,
                                     FMOD_CREATESOUNDEXINFO* exInfo, FMOD_SOUND** sound) {
  std::lock_guard<std::recursive_mutex> lock(apiMutex());
  System* system = asSystem(handle);
  if (!system) return FMOD_ERR_INVALID_HANDLE;
  if (!sound) return FMOD_ERR_INVALID_PARAM;
  *sound = nullptr;
  // Memory sounds (exInfo) and looping are not part of this stand-in.
  if (!name || exInfo || (mode & FMOD_LOOP_NORMAL)) return FMOD_ERR_INVALID_PARAM;

  auto created = std::make_unique<Sound>();
  created->system = system;
  FMOD_RESULT result = FMOD_OK;
  std::FILE* file = openFile(name, "rb");
  if (!file) {
    result = FMOD_ERR_FILE_NOTFOUND;
  } else if (ov_open_callbacks(file, &created->file, nullptr, 0, OV_CALLBACKS_DEFAULT) != 0) {
    std::fclose(file);  // vorbisfile keeps the file only on success
    result = FMOD_ERR_FORMAT;
  } else {
    vorbis_info* info = ov_info(&created->file, -1);
    ogg_int64_t total = ov_pcm_total(&created->file, -1);
    if (!info || info->rate <= 0 || total < 0) {
      ov_clear(&created->file);
      result = FMOD_ERR_FORMAT;
    } else {
      created->open = true;
      created->rate = info->rate;
      created->length = total;
    }
  }
  if (result != FMOD_OK) {
    std::fprintf(stderr, "FMOD_System_CreateStream: cannot play '%s' (%s); it stays silent\n", name,
                 result == FMOD_ERR_FILE_NOTFOUND ? "file not found" : "not an Ogg Vorbis file");
  }
  gLastLengthMs = created->open ? static_cast<unsigned int>(created->length * 1000 / created->rate) : 0;
  gLastStream = created.get();
  created->handle = registerHandle(created.get(), Kind::Sound);
  *sound = reinterpret_cast<FMOD_SOUND*>(created->handle);
  system->sounds.push_back(std::move(created));
  return result;
}

FMOD_RESULT FMOD_System_PlaySound(FMOD_SYSTEM* handle, FMOD_CHANNELINDEX channelId, FMOD_SOUND* soundHandle,
                                  FMOD_BOOL paused, FMOD_CHANNEL** channelOut) {
  std::lock_guard<std::recursive_mutex> lock(apiMutex());
  System* system = asSystem(handle);
  if (!system) return FMOD_ERR_INVALID_HANDLE;
  Sound* sound = asSound(soundHandle);
  if (!sound || sound->system != system) return FMOD_ERR_INVALID_PARAM;
  if (!system->initialized) return FMOD_ERR_INVALID_PARAM;
  if (channelId != FMOD_CHANNEL_FREE && channelId != FMOD_CHANNEL_REUSE) return FMOD_ERR_INVALID_PARAM;

  // A stream plays on one channel at a time; a reused channel is replaced.
  if (channelId == FMOD_CHANNEL_REUSE && channelOut) {
    if (Channel* reused = asChannel(*channelOut); reused && reused->system == system) dropChannel(system, reused);
  }
  if (sound->playing) dropChannel(system, sound->playing);
  while (static_cast<int>(system->channels.size()) >= system->maxChannels) {
    dropChannel(system, system->channels.front().get());  // steal the oldest
  }

  auto channel = std::make_unique<Channel>();
  channel->system = system;
  channel->sound = sound;
  channel->paused = paused != 0;
  FMOD_RESULT result = FMOD_OK;
  if (system->virtualClock) {
    channel->clock = VornFmodClock::Virtual;
  } else if (!sound->open) {
    channel->clock = VornFmodClock::WallClock;
  } else if (system->audioFailed) {
    channel->clock = VornFmodClock::WallClock;
    result = FMOD_ERR_OUTPUT_INIT;
  } else {
    std::string error;
    channel->device = DevicePlayback::open(&sound->file, sound->length, &error);
    if (channel->device) {
      channel->clock = VornFmodClock::Device;
      gDeviceCallbackFrames = channel->device->callbackFrames();
      gDeviceLatencyFrames = static_cast<int>(channel->device->latencyFrames());
    } else {
      std::fprintf(stderr, "FMOD_System_PlaySound: no audio device (%s); the music position follows the clock\n",
                   error.c_str());
      channel->clock = VornFmodClock::WallClock;
      result = FMOD_ERR_OUTPUT_INIT;
    }
  }
  Channel* raw = channel.get();
  sound->playing = raw;
  raw->handle = registerHandle(raw, Kind::Channel);
  system->channels.push_back(std::move(channel));
  if (raw->clock != VornFmodClock::Virtual) startAt(raw, 0);
  gLastClock = raw->clock;
  if (channelOut) *channelOut = reinterpret_cast<FMOD_CHANNEL*>(raw->handle);
  return result;
}

FMOD_RESULT FMOD_Channel_SetPosition(FMOD_CHANNEL* handle, unsigned int position, FMOD_TIMEUNIT unit) {
  std::lock_guard<std::recursive_mutex> lock(apiMutex());
  Channel* channel = asChannel(handle);
  if (!channel) return FMOD_ERR_INVALID_HANDLE;
  if (unit != FMOD_TIMEUNIT_MS && unit != FMOD_TIMEUNIT_PCM) return FMOD_ERR_INVALID_PARAM;
  if (channel->clock == VornFmodClock::Virtual) {
    gVirtualPosition = unit == FMOD_TIMEUNIT_MS ? position
                                                : unitFromFrames(position, FMOD_TIMEUNIT_MS, channel->rate());
    return FMOD_OK;
  }
  std::int64_t frame = framesFromUnit(position, unit, channel->rate());
  if (channel->length() >= 0 && frame > channel->length()) return FMOD_ERR_INVALID_PARAM;
  startAt(channel, frame);
  return FMOD_OK;
}

FMOD_RESULT FMOD_Channel_GetPosition(FMOD_CHANNEL* handle, unsigned int* position, FMOD_TIMEUNIT unit) {
  std::lock_guard<std::recursive_mutex> lock(apiMutex());
  Channel* channel = asChannel(handle);
  if (!channel) return FMOD_ERR_INVALID_HANDLE;
  if (!position) return FMOD_ERR_INVALID_PARAM;
  if (unit != FMOD_TIMEUNIT_MS && unit != FMOD_TIMEUNIT_PCM) return FMOD_ERR_INVALID_PARAM;
  if (channel->clock == VornFmodClock::Virtual && unit == FMOD_TIMEUNIT_MS) {
    *position = gVirtualPosition.load();
    return FMOD_OK;
  }
  *position = unitFromFrames(channel->positionFrames(), unit, channel->rate());
  return FMOD_OK;
}

FMOD_RESULT FMOD_Sound_Release(FMOD_SOUND* handle) {
  std::lock_guard<std::recursive_mutex> lock(apiMutex());
  Sound* sound = asSound(handle);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  dropSound(sound->system, sound);
  return FMOD_OK;
}

FMOD_RESULT FMOD_System_Close(FMOD_SYSTEM* handle) {
  std::lock_guard<std::recursive_mutex> lock(apiMutex());
  System* system = asSystem(handle);
  if (!system) return FMOD_ERR_INVALID_HANDLE;
  closeSystem(system);
  return FMOD_OK;
}

FMOD_RESULT FMOD_System_Release(FMOD_SYSTEM* handle) {
  std::lock_guard<std::recursive_mutex> lock(apiMutex());
  System* system = asSystem(handle);
  if (!system) return FMOD_ERR_INVALID_HANDLE;
  closeSystem(system);
  unregisterHandle(system->handle);
  delete system;
  return FMOD_OK;
}

void VornFmod_EnableVirtualClock(bool enabled) { gVirtualEnabled = enabled; }

bool VornFmod_VirtualClockEnabled() { return gVirtualEnabled.load(); }

void VornFmod_SetVirtualPosition(unsigned int milliseconds) { gVirtualPosition = milliseconds; }

VornFmodClock VornFmod_ClockSource() { return gLastClock.load(); }

unsigned int VornFmod_StreamLengthMs() { return gLastLengthMs.load(); }

int VornFmod_DeviceCallbackFrames() { return gDeviceCallbackFrames.load(); }

int VornFmod_DeviceLatencyFrames() { return gDeviceLatencyFrames.load(); }
