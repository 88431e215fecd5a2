// The numbers the shell shares between its parts: the view ids of the
// screens it names and the action ids its input handlers hand to the
// kernel (commands for the kernel application object, key commands and the
// on-screen buttons they press).
#pragma once

// View ids.
enum : int {
    VIEWID_MOVIE = 5102,
    VIEWID_MUSIC = 5103,
    VIEWID_PHOTO = 5104,
    VIEWID_FM = 5202,
    VIEWID_AM = 5205,
    VIEWID_DMB = 5218,
    VIEWID_DAB = 5219,
    VIEWID_AUX = 5301,
    VIEWID_IPOD = 5321,
    VIEWID_DVD = 5341,
    VIEWID_BLUETOOTH = 5361,
    VIEWID_CAMERAREADY = 5401, // the camera's screen: up once the camera can be shown
    VIEWID_FRONTCAMERA = 10058,
    VIEWID_CAMERAGUIDE = 10059, // receives the navigation program's reports and message 0x0497
    VIEWID_REARCAMERA = 10060,
};

// Commands and notices for the kernel application object.
enum : int {
    FID_EXT_DMBAUDIOCHANGE = 90,  // the DMB driver changed the audio (value: its wParam)
    FID_EXT_VOICE21900 = 400,     // voice code 21900, half a second later
    FID_KEY_BLOCKED = 431,        // a key came while keys are blocked
    FID_EXT_VOICE21700 = 481,     // voice code 21700 (kind AEV_SHORTPRESS)
    FID_EXT_VOICE21800 = 483,     // voice code 21800 (kind AEV_SHORTPRESS)
    FID_EXT_VOICE20201 = 3062,    // voice notice 20201
    FID_EXT_VOICELAST = 3065,     // the last command of most voice groups
    FID_EXT_VOICEREQUEST1 = 3402, // queued before the voice request 1
    FID_EXT_RADIOVOICE06 = 3831,  // the radio groups' voice command 06
    FID_EXT_VOICE20100 = 10001,   // voice notice 20100
    FID_EXT_VC_RECOG = 10081,     // voice recognition: value 1 start, 0 stop
    FID_EXT_VC_REQUEST = 10082,   // value: the voice program's request
    FID_EXT_VC_RESULT = 10083,    // value: the voice program's result
    FID_EXT_VC_NOCARD = 10085,    // the voice program cannot be started: no card
    FID_EXT_VC_SHOWVIEW = 10090,  // show a screen (value: the view id) after the voice screen
    FID_EXT_AVNAVI = 10092,       // the AV/NAVI key, to the kernel application object at once
    FID_EXT_STEERINGMODE = 10104, // the steering mode key
    FID_EXT_LEARN_SEEKUP = 10110, // steering-key learning results, 10110 ... 10121
    FID_EXT_LEARN_SEEKDOWN = 10111,
    FID_EXT_LEARN_MUTE = 10112,
    FID_EXT_LEARN_MODE = 10113,
    FID_EXT_LEARN_VOLUP = 10114,
    FID_EXT_LEARN_VOLDOWN = 10115,
    FID_EXT_LEARN_ADD = 10116,
    FID_EXT_LEARN_ALLDELETE = 10117,
    FID_EXT_LEARN_POWER = 10118,
    FID_EXT_LEARN_VOICEON = 10119,
    FID_EXT_LEARN_PHONEOFF = 10120,
    FID_EXT_LEARN_PHONEON = 10121,
    FID_EXT_REMOTERETURN = 10151, // the remote's RETURN key
    FID_EXT_REMOTEPBC = 10153,    // the remote's PBC key
    FID_EXT_DMBVOICE04 = 10164,   // the DMB group's voice command 04 (kind AEV_HOLDSTART)
    FID_EXT_IPODVOICE06 = 10165,  // the iPod group's voice command 06 (kind AEV_HOLDSTART)
    FID_OCCUR_USER_EVENT = 10256, // user activity (value 1 for a micom key down)
    FID_EXT_REMOTESTOP = 10427,   // the remote's STOP key
    FID_EXT_AUXSIGNAL = 10440,    // value: the AUX signal
    FID_EXT_VC_SHOW = 10441,      // the voice screen came up
    FID_EXT_VC_HIDE = 10442,      // the voice screen went
    FID_EXT_VC_ACTIVE = 10443,    // broadcast: value 1 voice recognition runs, 0 ended
    FID_EXT_VC_MICMUTE = 10444,   // broadcast: value the microphone mute request
    FID_EXT_VC_READY = 10446,     // the voice program is ready
    FID_EXT_POWEROFF = 10461,     // the micom reported power off
    FID_EXT_VC_NOTREADY = 10464,  // the voice key came before the voice program was ready
    FID_EXT_ACC_CHECK = 10465,    // ACC is off at start (value 1)
    FID_EXT_TAIL = 11500,         // value: the tail lamps on
    // The voice commands of the radio, Bluetooth, DVD and iPod groups, by
    // group and command number.
    FID_EXT_RADIOVOICE05 = 11603,
    FID_EXT_RADIOVOICE04 = 11604,
    FID_EXT_BTVOICE06 = 12102,
    FID_EXT_BTVOICE07 = 12103,
    FID_EXT_BTVOICE09 = 12403,
    FID_EXT_BTVOICE02 = 12404,
    FID_EXT_BTVOICE03 = 12405,
    FID_EXT_DVDVOICE08 = 12619,
    FID_EXT_IPODVOICE08 = 12913,
    FID_EXT_TILT_MOVEEND = 13160,
    FID_EXT_TILT_REMOVEDISC = 13164,
    FID_EXT_TILT_DVDOPER = 13166,
    FID_EXT_TILT_INSERT = 13168,
    FID_EXT_TILT_EXTINSERT = 13169,
    FID_EXT_TILT_EXTRELOAD = 13171,
    FID_EXT_KEYPRESS = 13601,   // a key went down (not the volume keys)
    FID_EXT_VOICE20409 = 20409, // music and movie command 09, DVD and iPod 07
};

// Key commands (what a key does) and on-screen buttons (what it shows
// pressed) of the hard keys, the steering-wheel keys and the remote.
enum : int {
    KEY_MUTE = 455,
    KEY_AVNAVI = 461,
    KEY_VOLUP = 480,
    KEY_VOLDOWN = 482,
    KEY_TILT = 13180,
    KEY_SEEKUP = 10425,
    KEY_SEEKDOWN = 10426,
    KEY_PHONEON = 10420,
    KEY_STEERINGMUTE = 10450,
    KEY_POWER = 10432,
    KEY_PHONEOFF = 10430,
    KEY_REMOTE_LEFTUP = 10170,
    KEY_REMOTE_89 = 10171,
    KEY_REMOTE_RIGHTUP = 10172,
    KEY_REMOTE_105 = 10173,
    KEY_REMOTE_JOGUP = 10174,
    KEY_REMOTE_JOGDOWN = 10175,
    KEY_REMOTE_JOGLEFT = 10176,
    KEY_REMOTE_JOGRIGHT = 10177,
    KEY_REMOTE_JOGCENTER = 10178,
    KEY_REMOTE_DISPLAY = 10182,
    KEY_REMOTE_SEARCH = 10183,
    KEY_REMOTE_RANDOM = 10184,
    KEY_REMOTE_MENU = 10185,
    KEY_REMOTE_ABREPEAT = 10186,
    KEY_REMOTE_TITLE = 10187,
    KEY_REMOTE_AUDIO = 10188,
    KEY_REMOTE_SUBTITLE = 10189,
    KEY_REMOTE_PLAYPAUSE = 10190,
    KEY_REMOTE_NAVI = 10191,
    KEY_REMOTE_ANGLE = 10193,
    KEY_REMOTE_ZOOM = 10195,
    KEY_REMOTE_69 = 10196,
    KEY_REMOTE_MODE = 10197,
    KEY_REMOTE_UPDOWN = 10198,

    BTN_PREV = 3740,
    BTN_NEXT = 3741,
    BTN_PLAYPAUSE = 3730,
    BTN_PLAYPAUSE2 = 3731, // the voice commands' neighbour of the play/pause button
    BTN_LEFTUP = 3750,
    BTN_89 = 3751,
    BTN_NAVI = 3754,
    BTN_REMOTE69 = 3760,
    BTN_RANDOM = 3765,
    BTN_JOGLEFT = 10005,
    BTN_JOGRIGHT = 10006,
    BTN_VOLUP = 10071,
    BTN_VOLDOWN = 10072,
    BTN_JOGUP = 12652,
    BTN_JOGDOWN = 12653,
    BTN_JOGCENTER = 12654,
    BTN_ZOOM = 12660,
    BTN_DISPLAY = 12661,
    BTN_SEARCH = 12662,
    BTN_MENU = 12664,
    BTN_ABREPEAT = 12665,
    BTN_TITLE = 12666,
    BTN_AUDIO = 12667,
    BTN_SUBTITLE = 12668,
    BTN_ANGLE = 12669,
};
