// The micom file check and the download behind it: whatever the file, one
// that the check passes is taken whole by a micom that checks every record
// itself, in one pass and without a line of 128 characters; one it refuses
// never starts the micom's loader.
#include "fuzz/FuzzRoot.h"
#include "fuzz/FuzzTarget.h"
#include "platform/base/Debug.h"
#include "sim/Micom.h"
#include "updater/MicomFile.h"
#include "updater/NecmicomControl.h"

#include <algorithm>
#include <string>

WREN_FUZZ_TARGET(MicomRecords)
{
    platform::DebugCapture quiet; // the download's log lines, kept off the output
    if (size > (1u << 16))
        return 0;
    const std::string& root = wrenfuzz::FuzzRoot("wren-fuzz-micom", {"_MAKE_TEMP_"});
    wrenfuzz::WriteInput(root + "/_MAKE_TEMP_/_MICOM_.REC", data, size);
    const MicomFileFault fault = updater::CheckMicomRecords(data, size);
    FUZZ_CHECK((CheckMICOM() != FALSE) == (fault == MicomFileFault::None));

    auto micom = sim::CMicom::Install();
    int result = -1;
    {
        CNEC link;
        FUZZ_CHECK(link.Open(nullptr) != nullptr);
        result = link.UpgradeFromFile(updater::kMicomFile, 0);
    }
    sim::CMicom::Uninstall();
    if (fault != MicomFileFault::None) {
        FUZZ_CHECK(result == (fault == MicomFileFault::LineTooLong ? kMicomLineTooLong : kMicomFileRefused));
        FUZZ_CHECK(micom->UpgradeStarts() == 0);
        return 0;
    }
    FUZZ_CHECK(result == 0);
    FUZZ_CHECK(micom->State() == sim::CMicom::FirmwareState::Updated);
    // Every line ended by CR went over, once.
    FUZZ_CHECK(micom->Lines().size() == static_cast<std::size_t>(std::count(data, data + size, '\r')));
    return 0;
}
