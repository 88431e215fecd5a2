// The control codes of the audio processor driver "ASP1:". Every input is
// the size given; the driver answers no output.
#pragma once

#include "platform/base/Types.h"

enum class AudioIoctl : DWORD {
    SecondVolume = 0xC4000014, // 1 byte: second-zone volume step 0-50
    SecondSource = 0xC400001C, // 1 byte: second-zone input 0-9
    MainSource = 0xC4000020,   // 1 byte: main input 0-9
    MainVolume = 0xC4000030,   // 1 byte: main volume step 0-50
    BalanceFader = 0xC4000034, // 2 bytes: balance, fader
    CameraAudio = 0xC400003C,  // 1 byte: camera audio path on/off
    EqBand = 0xC4000040,       // 2 bytes: band 1-7, value
    Microphone = 0xC4000044,   // 1 byte: microphone on/off
    Intro = 0xC4000048,        // 1 byte: intro sound step 0-5
    Mute = 0xC400004C,         // 1 byte: device mute on/off
    AudioValue = 0xC400005C,   // 1 byte: the stored audio setting
    SrsOnOff = 0xC4000060,     // 1 byte
    SrsValue6 = 0xC4000064,    // 1 byte 0-7
    SrsValue1 = 0xC4000068,    // 1 byte 0-20
    SrsValue2 = 0xC400006C,
    SrsValue3 = 0xC4000070,
    SrsValue4 = 0xC4000074,
    SrsValue5 = 0xC4000078,
    ButtonGain = 0xC4000084,    // 1 byte 0-4
    Effect = 0xC4000088,        // 1 byte 0-3
    GuidanceAudio = 0xC400008C, // 1 byte: navigation guidance mixing on/off
    GuidanceLevel = 0xC4000090, // 1 byte: navigation guidance level
    VoicePath = 0xC4000094,     // 1 byte: voice recognition audio path on/off
    MicMute = 0xC400009C,       // 1 byte: 0 microphone on, 1 muted
    ButtonType = 0xC40000A0,    // 1 byte
    CallAudio = 0xC40000A4,     // 1 byte: call audio active
};

// Inputs of the source switches.
inline constexpr BYTE kAudioInputCount = 10;
// Volume steps (0 ... 10000 in steps of 200).
inline constexpr BYTE kAudioVolumeSteps = 50;
inline constexpr BYTE kAudioEqBands = 7;
