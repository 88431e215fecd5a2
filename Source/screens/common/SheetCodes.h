// The vocabulary of the model-bound screens: the notifications a source
// model posts to its screens, the status bits of a source model the screens
// read, the standard children of a model sheet and the bits of its
// missing-children mask, its numbered panels, its device-cycle states and
// message codes, the shell's actions the screens hear or send, and the
// overlay layer's actions.
#pragma once

#include "Source/shell/ShellIds.h"

// Notifications of a source model (the kind of an action whose id is the
// model id). Where the screens only react to a kind without telling what it
// stands for, the name says what they do with it.
enum : int {
    SMN_FAILED = 0x02,         // value: SMF_* or the device's own error
    SMN_NODECOMPLETE = 0x06,   // value: the node; 0 when there is no media
    SMN_NODEPART = 0x07,       // more of a node is to come
    SMN_CONNECTION = 0x0a,     // value: SMC_*
    SMN_SEEKABLE = 0x0b,       //
    SMN_PLAYOUTCOME = 0x0c,    // value 1 a target started, 0 stopped or refused
    SMN_LENGTH = 0x0d,         // value: the length at the start of playback
    SMN_PLAYING = 0x10,        //
    SMN_STOPPED = 0x12,        //
    SMN_PAUSED = 0x14,         //
    SMN_ENDED = 0x16,          //
    SMN_POSITION = 0x20,       // value: the position in seconds
    SMN_POSITIONNOW = 0x21,    // the same, repainted at once
    SMN_VIDEOREADY = 0x22,     //
    SMN_VIDEOVISIBLE = 0x23,   //
    SMN_VIDEOSUSPENDED = 0x24, // value 1
    SMN_VIDEOSHOWN = 0x25,     // the model shows its hidden video again
    SMN_VIDEOHIDDEN = 0x26,    // the model hid its video
    SMN_VIDEOEVENT = 0x27,     //
    SMN_PANELHOLD = 0x2e,      // the video panel keeps its controls up
    SMN_PANELRELEASE = 0x2f,   // the video panel may hide its controls again
    SMN_PANELRELEASE2 = 0x30,
    SMN_PANELHOLDIF = 0x33,  // holds with a non-zero value
    SMN_SEEKPOSITION = 0x34, // value: a position the progress bar shows
    SMN_SEEKPOSITIONNOW = 0x35,
    SMN_PANELRELEASEIF = 0x37, // releases with a non-zero value
    SMN_PANELHOLD2 = 0x38,
    SMN_PANELRELEASE3 = 0x3b,
    SMN_CURRENTNODE = 0xc9,   //
    SMN_TITLE = 0xca,         //
    SMN_LENGTHCHANGED = 0xcb, // value: the length
    SMN_TRACKTOTAL = 0xcc,    // value: the total
    SMN_TRACKNUMBER = 0xcd,   // value: the number
    SMN_PLAYMODE = 0xce,      // value 0: no play mode
    SMN_ORDERMODE = 0xcf,     // value 0: no order mode
};

// Values of SMN_FAILED the screens tell apart.
enum : int {
    SMF_CONNECTION = 8,
    SMF_REFRESH = 9,
    SMF_PLAY = 12,
};

// Values of SMN_CONNECTION.
enum : int {
    SMC_DETACHED = 1,
    SMC_ATTACHED = 2,
    SMC_CONNECTED = 3,
};

// Status bits of a source model the screens read.
enum : unsigned {
    SMS_VIDEOON = 0x2000000,     // the video runs
    SMS_VIDEOHIDDEN = 0x4000000, // the model hid it
    SMS_VIDEODELAY = 0x8000000,  // the video-off delay runs
    SMS_SILENT = 0x10000000,     // the source has no audio of its own
};

// Play states of a source model as the screens see them.
enum : int {
    SPS_NONE = 0,
    SPS_PLAYING = 16,
    SPS_PAUSED = 20,
};

// Play modes and order modes of a source model.
enum : int {
    SPM_MODE25 = 25,
    SPM_MODE26 = 26,
    SPM_MODE27 = 27,
    SPM_NONE = 28, // no play mode
    SPM_ORDER29 = 29,
    SPM_ORDER30 = 30,
    SPM_ORDERNONE = 31, // no order mode
};

// Standard children of a model sheet.
enum : int {
    MSC_PLAY = 3730,
    MSC_PAUSE = 3731,
    MSC_PREVIOUS = 3740,
    MSC_NEXT = 3741,
    MSC_SEARCHBACK = 3742,
    MSC_SEARCHFORWARD = 3743,
    MSC_MODE27 = 3761,
    MSC_MODE26 = 3762,
    MSC_MODE25 = 3763,
    MSC_ORDER30 = 3766,
    MSC_ORDER29 = 3767,
    MSC_MESSAGECLOSE1 = 3390,
    MSC_MESSAGECLOSE3 = 3392,
    MSC_SHOWPAGEA = 3400,
    MSC_SHOWPAGEB = 3401,
    MSC_SHOWPAGEC = 3402,
    MSC_VIDEOCONTROLS = 3403,
    MSC_STEPPAGEA = 3410,
    MSC_STEPPAGEB = 3411,
    MSC_STEPPAGEC = 3412,
    MSC_PROGRESS = -3712,
    MSC_POSITION = -3711,
    MSC_LENGTH = -3710,
    MSC_TRACKTOTAL = -3706,
    MSC_TRACKNUMBER = -3707,
    MSC_INFO1 = -3700,
    MSC_INFO2 = -3703,
    MSC_PARKBRAKE = -3451,
};

// Bits of the missing-children mask.
enum : unsigned {
    MSM_PLAYBUTTONS = 0x1,
    MSM_PROGRESS = 0x2,
    MSM_POSITION = 0x4,
    MSM_LENGTH = 0x8,
    MSM_TRACKTOTAL = 0x10,
    MSM_TRACKNUMBER = 0x20,
    MSM_INFO1 = 0x10000,
    MSM_INFO2 = 0x20000,
    MSM_PARKBRAKE = 0x10000000,
};

// Numbered panels of a model sheet (indicator keys of the sheet).
enum : int {
    MSP_CONNECTING = 1,
    MSP_STATUS = 2,
    MSP_MODE25 = 5,
    MSP_MODE27 = 6,
    MSP_MODE26 = 7,
    MSP_ORDER29 = 8,
    MSP_ORDERSPARE = 9,
    MSP_ORDER30 = 10,
    MSP_MESSAGE8 = 11,
    MSP_MESSAGE10 = 12,
    MSP_MESSAGE = 13,
};

// States of the device cycle of a model sheet.
enum : int {
    MSS_IDLE = 0,
    MSS_WAITDEVICE = 1,
    MSS_NOMEDIA = 2,
    MSS_CLOSING = 3,
    MSS_CLOSINGREFRESH = 4,
    MSS_FAILED = 11,
};

// Message codes of a model sheet.
enum : int {
    MSG_REFRESHFAILED = 3,
    MSG_DEVICEFAILED = 8,
    MSG_MODELERROR = 10,
};

// Pop-up state of a model sheet.
enum : int {
    MSU_NONE = 0,
    MSU_LAYER = 1,
    MSU_PANEL = -1,
};

// The change that came with an overlay page: its start and back.
enum : int {
    OVC_START = 1,
    OVC_BACK = 4,
    OVC_MOVIEVIEW = 5101, // an overlay page change from the movie screen
};
