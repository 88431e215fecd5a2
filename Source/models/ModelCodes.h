// The vocabulary of the models: model ids, the resource flags and status
// bits of the source arbitration, the zones, the model center's
// notifications, the actions the center queues or delivers, and the device
// numbers of the unit.
#pragma once

// Model ids: the number of each model, the key of the model center's list
// and the id of its notifications.
enum : int {
    MODELID_CENTER = 8000, // the model center's own notifications
    MODELID_NAVI = 8010,
    MODELID_IPODVIDEO = 8051,
    MODELID_IPODAUDIO = 8052,
    MODELID_AUX = 8060,
    MODELID_CAMERA1 = 8061,
    MODELID_CAMERA2 = 8062,
    MODELID_DVD = 8070,
    MODELID_BLUETOOTH = 8080,
    MODELID_MOVIE = 8100,
    MODELID_MUSIC = 8110,
    MODELID_PHOTO = 8120,
    MODELID_FM = 8202,
    MODELID_AM = 8205,
    MODELID_TUNERLAST = 8207, // the tuner ids run from MODELID_FM to here
    MODELID_DMB = 8218,
    MODELID_DAB = 8219,
    MODELID_BARE = 8801, // a source without media
    MODELID_SETTING = 8999,
};

// Resources of a zone, as requested and granted.
enum : unsigned {
    MRF_AUDIO = 0x1,
    MRF_TAKEVIDEO = 0x2, // take the video away from its owner without taking it
    MRF_VIDEO = 0x4,
    MRF_ALL = MRF_AUDIO | MRF_TAKEVIDEO | MRF_VIDEO,
};

// Status bits of a model: the resources it holds, by zone.
enum : unsigned {
    MSB_AUDIO0 = 0x1,
    MSB_VIDEO0 = 0x4,
    MSB_AUDIO1 = 0x10,
    MSB_VIDEO1 = 0x40,
    MSB_AUDIO2 = 0x100,
    MSB_VIDEO2 = 0x400,
    MSB_VIDEOREADY = 0x200000,    // the video (an external program's picture) is ready
    MSB_VIDEOON = 0x2000000,      // the video is on
    MSB_VIDEOHIDDEN = 0x4000000,  // the video is hidden by the model
    MSB_VIDEOOFFWAIT = 0x8000000, // the video-off delay runs
};

// Zones: 0 the main (front) zone, 1 the second zone, any other value the
// third; -1 stands for the main zone.
enum : int {
    ZONE_DEFAULT = -1,
    ZONE_MAIN = 0,
    ZONE_SECOND = 1,
    ZONE_OTHER = 2,
};

// Notifications of the model center (id MODELID_CENTER, the code in the
// kind).
enum : int {
    MCN_OWNERCHANGED = 101,     // the main zone's audio owner (value: its model id, 0 none)
    MCN_VOLUME = 102,           // the main volume changed (value: its step)
    MCN_SECONDVOLUME = 103,     // the second-zone volume changed (value: its step)
    MCN_VOLUMESAME = 104,       // the main volume was set to its present value
    MCN_SECONDVOLUMESAME = 105, // the second-zone volume was set to its present value
    MCN_MUTE = 106,             // the user mute changed (value: the mute)
    MCN_BRIDGEMUTEON = 107,     // value: whether mute holders exist
    MCN_BRIDGEMUTEOFF = 108,
    MCN_HOLDERADDED = 109, // value: the holder id
    MCN_HOLDERREMOVED = 110,
    MCN_SECONDMUTEON = 111,
    MCN_SECONDMUTEOFF = 112,
};

// Actions of the model center.
enum : int {
    MCA_REQUESTB = 300,          // delivered at once, value on/off
    MCA_REQUESTA = 301,          // delivered at once, value on/off
    MCA_SECONDZONEMOVED = 10350, // the second zone was taken from the movie
    MCA_SOURCECHANGED = 12104,   // value: the model id of the new main source
};

// Notifications of an external program's model (the navigation model's,
// MODELID_NAVI, the code in the kind).
enum : int {
    NAVIN_INITIAL = 10,  // the program's warning was closed: it is usable
    NAVIN_PREPARED = 12, // the program's window is known
    NAVIN_LAUNCHED = 13, // the program reported that it is ready
    NAVIN_SHOWN = 34,    // the program's picture shows
    NAVIN_VIDEOON = 35,
    NAVIN_VIDEOOFF = 36,
};

// Reports of the device objects to their models: the action's id names the
// family, its kind is the report and its value the reporting object.
enum : int {
    MLA_EXTAPPREPORT = 84, // the link of an external program (LumoNotice)
};

// Device numbers of the unit (the families are grouped by tens).
enum : int {
    DEVNO_SD0 = 10, // first SD card; also the alias "Navi"
    DEVNO_SD1 = 11, // second SD card; also the alias "SD2"
    DEVNO_USB = 12,
    DEVNO_AUX = 20,
    DEVNO_CAMERA1 = 21,
    DEVNO_CAMERA2 = 22,
    DEVNO_IPOD = 30,
    DEVNO_DVD = 40,
    DEVNO_BLUETOOTH = 50,
    DEVNO_REARCAMERA = 70,
    DEVNO_CAMERA71 = 71,
    DEVNO_ACC = 100,
    DEVNO_101 = 101,
    DEVNO_PARK = 102,
    DEVNO_103 = 103,
};
