// Vorn's extensions of the FMOD stand-in, for tests and offline tools.
// Engine code never includes this header.
#pragma once

#include <cstdint>

// Virtual clock: while enabled, no audio device is opened by systems created
// afterwards and every channel's position is exactly what the caller set
// (FMOD_Channel_SetPosition from the program, or VornFmod_SetVirtualPosition
// from a tool). Offline rendering drives the show through it.
void VornFmod_EnableVirtualClock(bool enabled);
bool VornFmod_VirtualClockEnabled();
void VornFmod_SetVirtualPosition(unsigned int milliseconds);

// Where the position of the most recently played channel comes from.
enum class VornFmodClock { None, Device, WallClock, Virtual };
VornFmodClock VornFmod_ClockSource();

// Length of the stream in milliseconds (0 when no file is open).
unsigned int VornFmod_StreamLengthMs();

// Writes an Ogg Vorbis test tone: a sine of `frequencyHz` at half scale,
// `seconds` long, at `rate` frames per second with 1 or 2 channels (the
// right channel a fifth above the left). For tests and benchmarks; false if
// the file cannot be written. Tones with different parameters written one
// after another into a file make a chained stream.
bool VornFmod_WriteTone(const char* path, double seconds, int rate, int channels, double frequencyHz);

// Device details of the most recently played channel on a device (0 when
// none): the callback buffer size and the latency estimate, in frames.
int VornFmod_DeviceCallbackFrames();
int VornFmod_DeviceLatencyFrames();
