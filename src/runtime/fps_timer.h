// Frame timers: how long the last frame took, as a frame rate.
#pragma once

#include <cstdint>

struct FPS_Timer {
  virtual void reset() {}
  virtual void update() {}
  virtual float framesPerSecond() { return 60.0f; }
  virtual float perFrame(float perSecond) { return perSecond / 60.0f; }

 protected:
  ~FPS_Timer() = default;
};

struct FPSTimer_HighResolution final : FPS_Timer {
  std::int64_t lastCount = 0;
  float fps = 0.0f;

  void reset() override;
  void update() override;
  float framesPerSecond() override;
  float perFrame(float perSecond) override;
};
