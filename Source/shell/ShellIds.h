// The shell's numbers: the view ids of the unit's screens and view groups,
// the action ids the shell's kernel objects send and answer (a view id is
// also the action that asks for that view), and the commands and on-screen
// buttons of the hard keys, the steering-wheel keys and the remote.
#pragma once

// View ids (the screens, the view groups and the marks kept in the view
// history).
enum : int {
    FID_NAVI_FIRST = 3001, // navigation views: the navigation program's map
    FID_NAVI = 3001,       // the default navigation view
    FID_NAVI_LAST = 3019,
    FID_OSD = 3030,    // the on-screen-display layer over the navigation map
    FID_VOLUME = 3040, // the volume pop-up layer
    FID_AVOFF = 3054,  // the AV-off mark: sources off, only the navigation runs
    FID_MENU_FIRST = 3100,
    FID_GATE = 3101, // the 3D main menu
    FID_MENU_LAST = 3111,

    FID_GROUP_RADIO = 5001,
    FID_GROUP_TV = 5002,
    FID_GROUP_FILES = 5003,
    FID_GROUP_IPOD = 5004,
    FID_GROUP_AUX = 5005,
    FID_GROUP_DVD = 5006,
    FID_GROUP_BLUETOOTH = 5007,

    FID_SOURCE_BASE = 5100, // every id above is a source view
    FID_FILES = 5101,       // the files' main (list) view
    FID_MOVIE = 5102,
    FID_MUSIC = 5103,
    FID_PHOTO = 5104,
    FID_RADIO_FIRST = 5201,
    FID_FM = 5202,
    FID_FM_LAST = 5204, // 5202-5204 FM views
    FID_AM = 5205,
    FID_AM_LAST = 5207, // 5205-5207 AM views
    FID_RADIO_LAST = 5212,
    FID_DMB = 5218,
    FID_DAB = 5219,
    FID_AUX_FIRST = 5301,
    FID_AUX = 5301,
    FID_AUX_LAST = 5310,
    FID_IPOD_FIRST = 5321,
    FID_IPOD = 5321,
    FID_IPOD_LAST = 5330,
    FID_DVD_FIRST = 5341,
    FID_DVD = 5341,
    FID_DVD_LAST = 5350,
    FID_BLUETOOTH_FIRST = 5361,
    FID_BLUETOOTH = 5361,
    FID_BLUETOOTH_LAST = 5370,

    FID_CAMERAREADY = 5401,       // the camera's screen: up once the camera can be shown
    FID_CAMERA_FROMDEVICE = 5331, // a camera's view id: its device number (70 ... 79) + this
    FID_SET_DISPLAY = 10041,      // settings screens
    FID_SET_AUDIO = 10044,
    FID_SET_SYSTEM = 10045,
    FID_SET_DVD = 10046,
    FID_SET_BUTTONLIGHT = 10047,
    FID_CAMERA_FIRST = 10057, // 10057-10060 camera views (device + 5331)
    FID_FRONTCAMERA = 10058,
    FID_CAMERAGUIDE = 10059, // receives the navigation program's reports and message 0x0497
    FID_REARCAMERA = 10060,
    FID_CAMERA_LAST = 10060,
    FID_DUALZONE = 10410, // the dual-zone screen

    FID_COLORKEY = 9000,      // the kernel frame's colour-key page
    FID_INTRO = 9001,         // the intro; as an action: the intro ended
    FID_COLORKEYCOVER = 9002, // the full-screen colour-key cover

    FID_SPECTRUMSAVER = 10042, // the spectrum screen saver
    FID_PICTURESAVER = 10043,  // the picture screen saver
    FID_SCREENOFF = 10048,     // the black layer while the unit is switched off
    FID_NAVISTART = 10401,     // the navigation start picture
    FID_TILTSCREEN = 10411,    // the tilt screen
};

// The intro's elements: its seven letters (the unit's name and the caption
// under it), each letter's picture, and the action on which all letters
// twinkle once more.
enum : int {
    FID_INTRO_LETTER_V = 13701,
    FID_INTRO_LETTER_O = 13702,
    FID_INTRO_LETTER_R = 13703,
    FID_INTRO_LETTER_T = 13704,
    FID_INTRO_LETTER_E = 13705,
    FID_INTRO_LETTER_L = 13706,
    FID_INTRO_CAPTION = 13707, // "NAVIGATION SYSTEM": the last to arrive; it ends the intro
    FID_INTRO_IMAGE = 13710,   // the picture inside each letter
    ACMD_INTRO_RETWINKLE = 13720,
};

// Action ids of the shell (the framework's own are in ActionCodes.h).
enum : int {
    ACMD_APPPREPARE = 21,     // broadcast: an application switch begins (value 0 start, 1 power on, 2 AV)
    ACMD_APPCLEANUP = 22,     // broadcast: sources go (value 0 ACC off, 1 power off, 2 AV off)
    ACMD_DAEMONLAUNCHED = 23, // a background program is up (value -1: none is expected)
    ACMD_PARKBRAKE = 328,     // value 1 applied, 0 released
    ACMD_VIEWKEY = 320,       // a key names a view or group (value)
    ACMD_RUNPERMANENT = 321,  // run a view, minding the permanent view (value)
    ACMD_EXECVIEW = 322,      // a screen asks to run a view (value)
    ACMD_MODE = 323,          // the MODE key: the next source
    ACMD_OSDSHOW = 329,       // the OSD layer shows (value 1) or hides
    ACMD_OSDSHOWN = 330,      // broadcast by the OSD layer
    ACMD_OSDHIDDEN = 331,
    ACMD_OVERLAYSHOW = 500,    // shows the overlay layer when it is enabled
    ACMD_NAVICLOSED = 395,     // the navigation program is closing
    ACMD_NAVITERMINATED = 396, // the navigation program has ended
    ACMD_MASTERMUTE = 400,     // kind 4096 toggles, 4128 on, 4129 off
    ACMD_BRIDGEMUTE = 401,
    ACMD_HOLD = 402,      // the center's hold list: 4128 adds the value, else removes it
    ACMD_HOLDVIDEO = 403, // as ACMD_HOLD, and hides the video while held
    ACMD_ATTENUATE = 405, // kind 4096 toggles, 4128 on, 4129 off
    ACMD_SETVOLUME = 410,
    ACMD_STEPVOLUME = 411,
    ACMD_SETSECONDVOLUME = 412,
    ACMD_STEPSECONDVOLUME = 413,
    ACMD_COVERSHOW = 430, // the full-screen colour-key cover (the 3D menu's "display off")
    ACMD_COVERREMOVE = 431,
    ACMD_KEY_POWER = 456,
    ACMD_KEY_MODE = 461, // AV / navigation
    ACMD_KEY_SCREENOFF = 10433,
    ACMD_VOLUMEUP = 481,
    ACMD_VOLUMEDOWN = 483,
    ACMD_POWER = 3050,        // the power key: off in the run modes, else on
    ACMD_POWEROFF = 3051,     // in the run modes
    ACMD_POWEROFF2 = 3052,    // outside the run modes
    ACMD_AVTOGGLE = 3053,     // AV off and on
    ACMD_AVOFF = 3054,        // while AV is off: power off, or AV off beside the navigation
    ACMD_AVON = 3055,         // while AV is off
    ACMD_ACTIVITY0 = 3060,    // 3060 ... 3068: layout 0, 1, 2 with where = value, 1, -1
    ACMD_ACTIVITYLAST = 3068, //
    ACMD_NAVIMAP = 3062,      // within the range above: the navigation map, full (voice notice 20201)
    ACMD_NAVITOGGLE = 3070,   // the navigation map and the main screen in turn
    ACMD_TOMAIN = 3071,
    ACMD_TONAVI = 3072,
    ACMD_BTCALLPOPUP = 10012,       // a call came in: the 3D menu goes back
    ACMD_TILTWITHDISC = 10069,      // the screen cannot tilt with a disc in
    ACMD_VOLUMEPOPUPCLOSE = 10070,  // the 3D menu's volume popup's time is up
    ACMD_NAVIWARNINGCLOSED = 10091, // the navigation program's warning was closed
};

// Commands and notices for the kernel application object.
enum : int {
    FID_EXT_DMBAUDIOCHANGE = 90,  // the DMB driver changed the audio (value: its wParam)
    FID_EXT_LOADCOMPLETE = 8999,  // the 3D menu's images are in
    FID_EXT_VOICELAST = 3065,     // the last command of most voice groups
    FID_EXT_VOICEREQUEST1 = 3402, // queued before the voice request 1
    FID_EXT_RADIOVOICE06 = 3831,  // the radio groups' voice command 06
    FID_EXT_VOICE20100 = 10001,   // voice notice 20100
    FID_EXT_VC_RECOG = 10081,     // voice recognition: value 1 start, 0 stop
    FID_EXT_VC_REQUEST = 10082,   // value: the voice program's request
    FID_EXT_VC_RESULT = 10083,    // value: the voice program's result
    FID_EXT_VC_NOCARD = 10085,    // the voice program cannot be started: no card
    FID_EXT_VC_SHOWVIEW = 10090,  // show a screen (value: the view id) after the voice screen
    FID_ALIVEINVOKE = 10092,   // the micom alive signal; also the AV/NAVI key, to the kernel application object at once
    FID_EXT_MODEPOPUP = 10100, // open the mode popup (the source chooser)
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
    FID_EXT_SCREENSAVER = 10257,  // the screen-saver delay is over
    FID_EXT_REMOTESTOP = 10427,   // the remote's STOP key
    FID_EXT_AUXSIGNAL = 10440,    // value: the AUX signal
    FID_EXT_VC_SHOW = 10441,      // the voice screen came up
    FID_EXT_VC_HIDE = 10442,      // the voice screen went
    FID_EXT_VC_ACTIVE = 10443,    // broadcast: value 1 voice recognition runs, 0 ended
    FID_EXT_VC_MICMUTE = 10444,   // broadcast: value the microphone mute request
    FID_EXT_VC_READY = 10446,     // the voice program is ready
    FID_EXT_POWEROFF = 10461,     // the micom reported power off
    FID_EXT_VC_LOADVOICE = 10463, // start the voice controller (the value of the load-complete action)
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
    FID_EXT_TILT_INSERT = 13168,     // a disc goes in: the reload wait starts
    FID_EXT_TILT_INSERTDONE = 13170, // the disc is in: the reload wait ends
    FID_EXT_TILT_EXTINSERT = 13169,
    FID_EXT_TILT_EXTRELOAD = 13171,
    FID_EXT_KEYPRESS = 13601,   // a key went down (not the volume keys)
    FID_EXT_VOICE20409 = 20409, // music and movie command 09, DVD and iPod 07
};

// Key commands (what a key does) and on-screen buttons (what it shows
// pressed) of the hard keys, the steering-wheel keys and the remote.
enum : int {
    KEY_MUTE = 455,
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

// The kernel application object's timers (element timers of its own; the
// numbers are the timer ids).
enum : int {
    TM_SCREENSAVER = 20000,   // one-shot: the screen-saver delay
    TM_FACTORYRESET = 30000,  // one-shot, 3000 ms: the second step of the factory reset
    TM_TILTSETTLE = 30001,    // one-shot, 10000 ms: the tilt settles after a disc left
    TM_DVDEXTRELOAD = 30004,  // one-shot, 15000 ms: a disc that went in did not load
    TM_NAVICLOSE = 30005,     // one-shot, 200 ms: the step after the navigation program was asked to close
    TM_WAITNAVICLOSE = 30006, // one-shot, 2000 ms: the navigation program did not close
    TM_ALIVECHECK = 30008,    // repeating, 3000 ms: the alive request to the micom
    TM_WAIT_VCCLOSE = 30009,  // 3000 ms while the voice controller's window is there
    TM_ACCCHECK = 30010,      // repeating, 1000 ms: ACC off at start
};

// The mode popup's and the navigation link's numbers.
enum : int {
    FID_MODEPOPUP = 10062, // the source chooser layer

    FID_EXT_3DMENU = 10063,        // the navigation program's menu button: the 3D menu
    FID_EXT_NAVIMODEPOPUP = 10152, // the navigation program's menu call opens the mode popup
    FID_EXT_ROWUP = 10155,         // the remote's row keys and arrows (kinds 4111, 4116)
    FID_EXT_ROWDOWN = 10156,
    FID_EXT_LEFT = 10157,
    FID_EXT_RIGHT = 10158,
    FID_EXT_ENTER = 10159,
    FID_EXT_MODEKEY = 10421,  // the mode key while the mode popup is up
    FID_EXT_MODENEXT = 10422, // the mode popup: highlight the next source
    FID_EXT_MODETAKE = 10423, // the mode popup: take the highlighted source
    FID_EXT_MODECLOSE = 10424,

    // The navigation program's keys and the messages about the programs.
    FID_SDSLOTPOPUP = 10066,       // the program is not on the first card
    FID_VIDEOPHOTOPOPUP = 10067,   // photos cannot show while the video plays
    FID_VOICEPREPAREPOPUP = 10093, // the voice program is getting ready

    // The mode popup's source buttons, 13901 ... 13910.
    BTN_MODE_FIRST = 13901,
    BTN_MODE_LAST = 13910,
};

// The codes the key translators emit for a held key (the short press keeps
// the key's own meaning in the handler), the remote's volume keys, and the
// device-event popups and commands.
enum : int {
    // The range of the remote's and the hard keys' actions: a full-screen
    // layer redraws the whole frame on each of them while it is up.
    KEY_ACTION_FIRST = 10130,
    KEY_ACTION_LAST = 10166,
    KEY_REMOTE_LEFTUPHELD = 10131,
    KEY_REMOTE_89HELD = 10132,
    KEY_REMOTE_ZOOMHELD = 10133,
    KEY_REMOTE_DISPLAYHELD = 10134, // 10134 ... 10141: the remote's keys 10182 ... 10189 held
    KEY_REMOTE_SEARCHHELD = 10135,  // also to the navigation program (command 1041) while its map shows
    KEY_REMOTE_RANDOMHELD = 10136,  // also to the navigation program (command 1042) while its map shows
    KEY_REMOTE_MENUHELD = 10137,
    KEY_REMOTE_ABREPEATHELD = 10138,
    KEY_REMOTE_TITLEHELD = 10139,
    KEY_REMOTE_AUDIOHELD = 10140,
    KEY_REMOTE_SUBTITLEHELD = 10141,
    KEY_REMOTE_ANGLEHELD = 10142,
    ACMD_RT_OPENCLOSE = 10154, // the tilt opens fully, or closes when it is fully open
    KEY_REMOTE_RIGHTUPHELD = 10161,
    KEY_REMOTE_105HELD = 10162,
    KEY_REMOTE_PLAYPAUSEHELD = 10163,
    KEY_REMOTE_VOLDOWN = 10180,
    KEY_REMOTE_VOLUP = 10181,
    KEY_SEEKUPHELD = 10428,
    KEY_SEEKDOWNHELD = 10429,
    KEY_PHONEOFFHELD = 10431,     // kinds 4112 short end, 4113 long
    KEY_STEERINGMUTEHELD = 10451, // kind 4111: the master mute
    KEY_TILTHELD = 13181,

    FID_NAVI_DETACH_POPUP = 10065, // the card-removal popup; its result 4102 resets the unit
    ACMD_TILT_CLOSEFULL = 13162,   // the tilt closes fully
};

// The shared popups' numbers: their text lines (line i is
// FID_POPUP_LINE1 + i), their OK and Cancel buttons, and the timer that
// closes a message popup after its time-out.
enum : int {
    FID_POPUP_LINE1 = 10613,
    FID_POPUP_LINE2 = 10614,
    FID_POPUP_LINE3 = 10615,
    BTN_POPUP_OK = 9010,
    BTN_POPUP_CANCEL = 9011,
    TM_POPUPTIMEOUT = 35000,
};

// The central action handler's own codes: keys, popups and notices it takes
// or queues, and the layers it opens or closes.
enum : int {
    FID_EXT_BACKKEY = 10002,    // queues the back command
    FID_EXT_GATEKEY = 10008,    // the 3D menu key: back from the menu, else to it
    FID_BTCALLSMALL = 10011,    // the small Bluetooth call popup (the large one is ACMD_BTCALLPOPUP)
    FID_DUALZONEPOPUP = 10064,  // the dual-zone information popup
    FID_EXT_SEEKUPHELD = 10101, // the held seek and phone keys passed on (same kind)
    FID_EXT_SEEKDOWNHELD = 10102,
    FID_EXT_PHONEOFFHELD = 10103,
    FID_EXT_FACTORYRESET = 10255,   // the factory reset is asked for
    FID_EXT_LOOPBACK = 10445,       // logged with the tick count
    FID_EXT_WAIT_NAVICLOSE = 10460, // the navigation program is asked to close: its wait starts
    FID_POPUP_NOSAVER1 = 11325,     // while this popup or the next is up, user activity is not counted
    FID_POPUP_NOSAVER2 = 12907,
    FID_EXT_PARKSIGNAL = 13350, // the park input changed
};
