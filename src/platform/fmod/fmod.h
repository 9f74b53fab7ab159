// Our own stand-in for the ten FMOD Ex flat functions Vorn calls: stream one
// Ogg Vorbis file, play it, read and set the channel position. Implemented
// over an audio output (SDL audio, or waveOut on Windows) and libvorbisfile
// with a decoder thread.
#pragma once

#include <cstdint>

using FMOD_RESULT = int;
constexpr FMOD_RESULT FMOD_OK = 0;
constexpr FMOD_RESULT FMOD_ERR_FILE_NOTFOUND = 23;
constexpr FMOD_RESULT FMOD_ERR_FORMAT = 25;
constexpr FMOD_RESULT FMOD_ERR_INVALID_HANDLE = 36;
constexpr FMOD_RESULT FMOD_ERR_INVALID_PARAM = 37;
constexpr FMOD_RESULT FMOD_ERR_OUTPUT_INIT = 60;

struct FMOD_SYSTEM;
struct FMOD_SOUND;
struct FMOD_CHANNEL;
struct FMOD_CREATESOUNDEXINFO;

using FMOD_MODE = unsigned int;
using FMOD_INITFLAGS = unsigned int;
using FMOD_TIMEUNIT = unsigned int;
using FMOD_BOOL = int;

constexpr FMOD_MODE FMOD_DEFAULT = 0x00000000;
constexpr FMOD_MODE FMOD_LOOP_OFF = 0x00000001;
constexpr FMOD_MODE FMOD_LOOP_NORMAL = 0x00000002;
constexpr FMOD_MODE FMOD_2D = 0x00000008;
constexpr FMOD_MODE FMOD_3D = 0x00000010;
constexpr FMOD_MODE FMOD_HARDWARE = 0x00000020;
constexpr FMOD_MODE FMOD_SOFTWARE = 0x00000040;
constexpr FMOD_MODE FMOD_CREATESTREAM = 0x00000080;

constexpr FMOD_INITFLAGS FMOD_INIT_NORMAL = 0x00000000;
constexpr FMOD_TIMEUNIT FMOD_TIMEUNIT_MS = 0x00000001;
constexpr FMOD_TIMEUNIT FMOD_TIMEUNIT_PCM = 0x00000002;

enum FMOD_CHANNELINDEX { FMOD_CHANNEL_FREE = -1, FMOD_CHANNEL_REUSE = -2 };

FMOD_RESULT FMOD_System_Create(FMOD_SYSTEM** system);
FMOD_RESULT FMOD_System_GetVersion(FMOD_SYSTEM* system, unsigned int* version);
FMOD_RESULT FMOD_System_Init(FMOD_SYSTEM* system, int maxChannels, FMOD_INITFLAGS flags, void* extraDriverData);
FMOD_RESULT FMOD_System_CreateStream(FMOD_SYSTEM* system, const char* nameOrData, FMOD_MODE mode,
                                     FMOD_CREATESOUNDEXINFO* exInfo, FMOD_SOUND** sound);
FMOD_RESULT FMOD_System_PlaySound(FMOD_SYSTEM* system, FMOD_CHANNELINDEX channelId, FMOD_SOUND* sound,
                                  FMOD_BOOL paused, FMOD_CHANNEL** channel);
FMOD_RESULT FMOD_Channel_SetPosition(FMOD_CHANNEL* channel, unsigned int position, FMOD_TIMEUNIT unit);
FMOD_RESULT FMOD_Channel_GetPosition(FMOD_CHANNEL* channel, unsigned int* position, FMOD_TIMEUNIT unit);
FMOD_RESULT FMOD_Sound_Release(FMOD_SOUND* sound);
FMOD_RESULT FMOD_System_Close(FMOD_SYSTEM* system);
FMOD_RESULT FMOD_System_Release(FMOD_SYSTEM* system);
