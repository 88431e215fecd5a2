// The settings the unit pushes to its hardware at start and after a reset
// to defaults, worked out from the setting record: the display driver's
// settings and brightness, balance and fader, the sound effect, the micom's
// setting byte, the button sound's type and gain, and either the seven EQ
// bands (SRS off) or the six SRS values (SRS on).
//
// The record is stored data and may be damaged: an EQ mode outside 0-5 or a
// user value set outside 0-3 falls back to the flat preset, and every value
// is brought into the range its request takes, so that no request carries
// a value the audio processor would refuse.
#pragma once

#include "platform/base/Types.h"

enum class SettingTarget {
    Display, // an escape of the display driver
    Audio,   // a control code of the audio processor "ASP1:"
    Micom,   // a control code of the micom "NEC1:"
};

struct CSettingRequest {
    SettingTarget target;
    DWORD code;
    const WCHAR* name; // the request's name for the failure log
    BYTE bytes[12];
    DWORD size;
};

inline constexpr int kMaxSettingRequests = 16;
inline constexpr int kEqPresetCount = 5; // modes 0-4; mode 5 takes the user's values
inline constexpr int kEqUserMode = 5;
inline constexpr int kEqFlat = 10;
inline constexpr int kEqMax = 20;
inline constexpr int kSrs6Max = 7;
inline constexpr int kButtonGainMax = 4;
inline constexpr int kEffectMax = 3;

// The band values of a fixed EQ preset (0-4), seven each.
const int* EqPreset(int mode);

// The requests for the record's payload (at least the record's payload
// size, else nothing is pushed), in the order they go out. night: the tail
// lamps are on (the night brightness). Answers the number written to out,
// which holds kMaxSettingRequests.
int BuildSettingPush(const BYTE* payload, DWORD size, BOOL night, CSettingRequest* out);
