// The FMOD stand-in's output on Windows: waveOut (winmm, on every Windows)
// with a few 16-bit PCM buffers in flight. A thread of its own refills each
// buffer the device hands back (CALLBACK_EVENT) from the fill function.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/fmod/audio_output.h"

namespace vorn::fmod {

namespace {

// Buffers in flight: one refilled while the others play. A buffer written
// now is heard after the others still queued before it.
constexpr int kBuffers = 3;

std::string waveError(MMRESULT result) {
  char text[MAXERRORLENGTH] = {};
  if (waveOutGetErrorTextA(result, text, sizeof text) != MMSYSERR_NOERROR) return "waveOut error";
  return text;
}

class WaveOutOutput final : public AudioOutput {
 public:
  WaveOutOutput(Fill fill, void* user) : fill_(fill), user_(user) {}

  ~WaveOutOutput() override {
    quit_ = true;
    if (event_) SetEvent(event_);
    if (thread_.joinable()) thread_.join();
    if (device_) {
      waveOutReset(device_);  // hands every buffer back
      for (WAVEHDR& header : headers_)
        if (header.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(device_, &header, sizeof header);
      waveOutClose(device_);
    }
    if (event_) CloseHandle(event_);
  }

  bool open(int rate, int channels, int frames, std::string* error) {
    channels_ = channels;
    frames_ = frames;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(channels * 2);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    event_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!event_) {
      if (error) *error = "cannot create an event";
      return false;
    }
    MMRESULT result = waveOutOpen(&device_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(event_), 0,
                                  CALLBACK_EVENT);
    if (result != MMSYSERR_NOERROR) {
      device_ = nullptr;
      if (error) *error = waveError(result);
      return false;
    }
    samples_.resize(kBuffers);
    headers_.resize(kBuffers);
    for (int i = 0; i < kBuffers; ++i) {
      samples_[i].assign(static_cast<std::size_t>(frames) * channels, 0);
      WAVEHDR& header = headers_[i];
      header = WAVEHDR{};
      header.lpData = reinterpret_cast<LPSTR>(samples_[i].data());
      header.dwBufferLength = static_cast<DWORD>(samples_[i].size() * sizeof(std::int16_t));
      if (waveOutPrepareHeader(device_, &header, sizeof header) != MMSYSERR_NOERROR) {
        if (error) *error = "cannot prepare the audio buffers";
        return false;
      }
    }
    mix_.assign(static_cast<std::size_t>(frames) * channels, 0.0f);
    thread_ = std::thread(&WaveOutOutput::run, this);
    return true;
  }

  void start() override {
    running_ = true;
    SetEvent(event_);
  }
  void lock() override { mutex_.lock(); }
  void unlock() override { mutex_.unlock(); }
  int callbackFrames() const override { return frames_; }
  std::int64_t latencyFrames() const override { return static_cast<std::int64_t>(kBuffers - 1) * frames_; }

 private:
  void run() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    std::vector<bool> queued(kBuffers, false);
    while (!quit_) {
      WaitForSingleObject(event_, 50);
      if (quit_) break;
      if (!running_) continue;
      // The device plays buffers in order: refill from the oldest on, as long
      // as it has been handed back (or was never queued).
      while (!quit_) {
        WAVEHDR& header = headers_[next_];
        if (queued[next_] && !(header.dwFlags & WHDR_DONE)) break;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          fill_(user_, mix_.data(), frames_);
        }
        std::vector<std::int16_t>& out = samples_[next_];
        for (std::size_t s = 0; s < out.size(); ++s)
          out[s] = static_cast<std::int16_t>(std::lrint(std::clamp(mix_[s], -1.0f, 1.0f) * 32767.0f));
        header.dwFlags &= ~WHDR_DONE;
        const bool written = waveOutWrite(device_, &header, sizeof header) == MMSYSERR_NOERROR;
        queued[next_] = written;
        next_ = (next_ + 1) % kBuffers;
        if (!written) break;  // try again on the next wake-up
      }
    }
  }

  Fill fill_;
  void* user_;
  HWAVEOUT device_ = nullptr;
  HANDLE event_ = nullptr;
  int channels_ = 2;
  int frames_ = 1024;
  std::vector<std::vector<std::int16_t>> samples_;
  std::vector<WAVEHDR> headers_;
  std::vector<float> mix_;
  int next_ = 0;
  std::mutex mutex_;
  std::atomic<bool> running_{false};
  std::atomic<bool> quit_{false};
  std::thread thread_;
};

}  // namespace

std::unique_ptr<AudioOutput> AudioOutput::open(int rate, int channels, int frames, Fill fill, void* user,
                                               std::string* error) {
  auto output = std::make_unique<WaveOutOutput>(fill, user);
  if (!output->open(rate, channels, frames, error)) return nullptr;
  return output;
}

bool startAudio(std::string* error) {
  if (waveOutGetNumDevs() > 0) return true;
  if (error) *error = "no audio output device";
  return false;
}

void stopAudio() {}

std::int64_t audioCounter() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

std::int64_t audioCounterFrequency() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart;
}

}  // namespace vorn::fmod
