// The shell's numbers: the view ids of the unit's screens and view groups,
// and the action ids the shell's kernel objects send and answer. A view id
// is also the action that asks for that view.
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
    FID_AM = 5205,
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

    FID_COLORKEY = 9000,      // the kernel frame's colour-key page
    FID_INTRO = 9001,         // the intro; as an action: the intro ended
    FID_COLORKEYCOVER = 9002, // the full-screen colour-key cover
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
    ACMD_COVERSHOW = 430, // the full-screen colour-key cover
    ACMD_COVERREMOVE = 431,
    ACMD_KEY_POWER = 456,
    ACMD_KEY_MODE = 461, // AV / navigation
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
    ACMD_NAVITOGGLE = 3070,   // the navigation map and the main screen in turn
    ACMD_TOMAIN = 3071,
    ACMD_TONAVI = 3072,
};
