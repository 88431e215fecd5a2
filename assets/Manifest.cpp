#include "assets/Manifest.h"

#include "assets/Drawing.h"

namespace assets {

const AssetEntry kManifest[] = {
    // WrenUpdater: the progress bar (bitmap 128), the status panel (129)
    // and the nine frames of the busy animation (130 to 138).
    {"Windows/WrenUpdater/Bar.bmp", 472, 20, DrawUpdaterBar, 0},
    {"Windows/WrenUpdater/Panel.bmp", 598, 354, DrawUpdaterPanel, 0},
    {"Windows/WrenUpdater/Busy1.bmp", 114, 109, DrawUpdaterBusyFrame, 0},
    {"Windows/WrenUpdater/Busy2.bmp", 114, 109, DrawUpdaterBusyFrame, 1},
    {"Windows/WrenUpdater/Busy3.bmp", 114, 109, DrawUpdaterBusyFrame, 2},
    {"Windows/WrenUpdater/Busy4.bmp", 114, 109, DrawUpdaterBusyFrame, 3},
    {"Windows/WrenUpdater/Busy5.bmp", 114, 109, DrawUpdaterBusyFrame, 4},
    {"Windows/WrenUpdater/Busy6.bmp", 114, 109, DrawUpdaterBusyFrame, 5},
    {"Windows/WrenUpdater/Busy7.bmp", 114, 109, DrawUpdaterBusyFrame, 6},
    {"Windows/WrenUpdater/Busy8.bmp", 114, 109, DrawUpdaterBusyFrame, 7},
    {"Windows/WrenUpdater/Busy9.bmp", 114, 109, DrawUpdaterBusyFrame, 8},
};

const std::size_t kManifestSize = sizeof(kManifest) / sizeof(kManifest[0]);

} // namespace assets
