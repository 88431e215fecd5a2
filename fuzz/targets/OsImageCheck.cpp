// The OS image step: whatever the image file, the step reports success only
// when the flash's page area holds that file, byte for byte, and the update
// progress sector says done.
#include "fuzz/FuzzRoot.h"
#include "fuzz/FuzzTarget.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "sim/FlashStore.h"
#include "updater/SysUpdate.h"

#include <string>
#include <vector>

WREN_FUZZ_TARGET(OsImageCheck)
{
    platform::DebugCapture quiet; // the download's log lines, kept off the output
    if (size > 2 * updater::kOsPageBytes)
        return 0;
    const std::string& root = wrenfuzz::FuzzRoot("wren-fuzz-osimage", {"_MAKE_TEMP_"});
    wrenfuzz::WriteInput(root + "/_MAKE_TEMP_/_NK_.NB0.APZ", data, size);
    platform::ManualClock clock;
    clock.SetSleepAdvances(true);
    sim::FlashLayout layout;
    layout.bootSectors = 8;
    layout.pageSectors = updater::kOsFirstSector + 2 * 256;
    layout.region0Sectors = updater::kProgressSector + 1;
    layout.region1Sectors = 8;
    auto store = sim::CFlashStore::Install(layout);
    // An erased page area each time.
    store->WriteArea(sim::CFlashStore::Area::Pages, 0, std::vector<BYTE>(layout.pageSectors * 512, 0xFF));
    BOOL ok = FALSE;
    {
        CSysUpdate writer;
        FUZZ_CHECK(writer.OpenDisk());
        ok = writer.UpdateNKBin();
    }
    sim::CFlashStore::Uninstall();
    const BYTE step
        = store->ReadArea(sim::CFlashStore::Area::Region0, updater::kProgressSector, 1).at(updater::kProgressStepByte);
    if (!ok) {
        FUZZ_CHECK(step != static_cast<BYTE>(OsUpdateStep::OsDone));
        return 0;
    }
    FUZZ_CHECK(step == static_cast<BYTE>(OsUpdateStep::OsDone));
    const std::vector<BYTE> pages = store->ReadArea(sim::CFlashStore::Area::Pages, updater::kOsFirstSector,
                                                    (static_cast<DWORD>(size) + 511) / 512);
    FUZZ_CHECK(std::vector<BYTE>(pages.begin(), pages.begin() + static_cast<std::ptrdiff_t>(size))
               == std::vector<BYTE>(data, data + size));
    return 0;
}
