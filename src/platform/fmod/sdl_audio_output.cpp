// The FMOD stand-in's output on SDL audio.
#include <SDL.h>

#include <cstring>

#include "platform/fmod/audio_output.h"

namespace vorn::fmod {

namespace {

class SdlOutput final : public AudioOutput {
 public:
  SdlOutput(Fill fill, void* user) : fill_(fill), user_(user) {}
  ~SdlOutput() override {
    if (device_) SDL_CloseAudioDevice(device_);  // no callback runs after this
  }

  bool open(int rate, int channels, int frames, std::string* error) {
    SDL_AudioSpec wanted{};
    wanted.freq = rate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = static_cast<Uint8>(channels);
    wanted.samples = static_cast<Uint16>(frames);
    wanted.callback = &SdlOutput::callbackEntry;
    wanted.userdata = this;
    // SDL converts to whatever the hardware wants, so the callback always
    // sees the stream's own rate and channels.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained_, 0);
    if (device_ == 0) {
      if (error) *error = SDL_GetError();
      return false;
    }
    channels_ = channels;
    // A buffer handed over is heard after what the device still holds: one
    // more buffer on real outputs; the dummy and disk drivers take each
    // buffer at once and then wait its length.
    const char* driver = SDL_GetCurrentAudioDriver();
    bool immediate = driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "disk") == 0);
    latency_ = immediate ? 0 : obtained_.samples;
    return true;
  }

  void start() override { SDL_PauseAudioDevice(device_, 0); }
  void lock() override { SDL_LockAudioDevice(device_); }
  void unlock() override { SDL_UnlockAudioDevice(device_); }
  int callbackFrames() const override { return static_cast<int>(obtained_.samples); }
  std::int64_t latencyFrames() const override { return latency_; }

 private:
  static void callbackEntry(void* self, Uint8* stream, int bytes) {
    auto* output = static_cast<SdlOutput*>(self);
    int frames = bytes / static_cast<int>(sizeof(float)) / output->channels_;
    output->fill_(output->user_, reinterpret_cast<float*>(stream), frames);
  }

  Fill fill_;
  void* user_;
  SDL_AudioDeviceID device_ = 0;
  SDL_AudioSpec obtained_{};
  int channels_ = 2;
  std::int64_t latency_ = 0;
};

}  // namespace

std::unique_ptr<AudioOutput> AudioOutput::open(int rate, int channels, int frames, Fill fill, void* user,
                                               std::string* error) {
  auto output = std::make_unique<SdlOutput>(fill, user);
  if (!output->open(rate, channels, frames, error)) return nullptr;
  return output;
}

bool startAudio(std::string* error) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) return true;
  if (error) *error = SDL_GetError();
  return false;
}

void stopAudio() { SDL_QuitSubSystem(SDL_INIT_AUDIO); }

std::int64_t audioCounter() { return static_cast<std::int64_t>(SDL_GetPerformanceCounter()); }
std::int64_t audioCounterFrequency() { return static_cast<std::int64_t>(SDL_GetPerformanceFrequency()); }

}  // namespace vorn::fmod
