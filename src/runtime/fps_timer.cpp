#include "runtime/fps_timer.h"

#include "platform/win32/win32.h"

void FPSTimer_HighResolution::reset() {
  fps = 0.0f;
  lastCount = 0;
}

void FPSTimer_HighResolution::update() {
  LARGE_INTEGER frequency{};
  LARGE_INTEGER now{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  const std::int64_t elapsed = now.QuadPart - lastCount;
  // Two equal readings (a frame shorter than one counter tick) measure
  // nothing: keep the previous rate rather than divide by zero.
  if (elapsed != 0) {
    fps = static_cast<float>(static_cast<double>(frequency.QuadPart) / static_cast<double>(elapsed));
  }
  lastCount = now.QuadPart;
}

float FPSTimer_HighResolution::framesPerSecond() { return fps < 1.0f ? 1.0f : fps; }

float FPSTimer_HighResolution::perFrame(float perSecond) { return fps < 1.0f ? 1.0f : perSecond / fps; }
