#include "updater/DVDMicom.h"

#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/base/Handle.h"
#include "platform/io/DvdDriver.h"
#include "platform/io/Io.h"
#include "updater/FileHelpers.h"

#include <algorithm>
#include <vector>

namespace {

constexpr DWORD kStartWaitMs = 500;

} // namespace

CDVDMicom::~CDVDMicom()
{
    if (m_hDvd != INVALID_HANDLE_VALUE)
        CloseHandle(m_hDvd);
}

void CDVDMicom::DVD_open()
{
    NKDbgPrintfW(u"DVD_open\r\n");
    if (m_hDvd == INVALID_HANDLE_VALUE)
        m_hDvd = CreateFileW(u"DVD1:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

BOOL CDVDMicom::Control(BYTE control)
{
    DWORD returned = 0;
    return DeviceIoControl(m_hDvd, static_cast<DWORD>(DvdIoctl::MicomUpgradeControl), &control, 1, nullptr, 0,
                           &returned, nullptr);
}

BOOL CDVDMicom::DVDmicomUpgradeData(const BYTE* record)
{
    DWORD returned = 0;
    if (DeviceIoControl(m_hDvd, static_cast<DWORD>(DvdIoctl::MicomUpgradeData), const_cast<BYTE*>(record),
                        kDvdMicomBlockRecordBytes, nullptr, 0, &returned, nullptr))
        return TRUE;
    const DWORD error = GetLastError();
    NKDbgPrintfW(u"ERROR: %s line %d: ", u"DVDMicom", __LINE__);
    NKDbgPrintfW(u"DVD: DVDmicomUpgradeData %d\r\n", error);
    SetLastError(error);
    return FALSE;
}

int CDVDMicom::DVDmicomUpgrade(LPCWSTR path, DWORD waitMs)
{
    DVD_open();
    std::vector<BYTE> image;
    if (const int result = updater::ReadFirmwareFile(path, u"DVD", &image); result != 0)
        return result;
    NKDbgPrintfW(u"DVD: DVDmicomUpgrade dwFileSize %d\r\n", static_cast<int>(image.size()));
    if (image.size() != kDvdMicomImageBytes) {
        // A result of its own: the size itself could read as success (0)
        // or as another failure.
        NKDbgPrintfW(u"DVD: DVD_TOTAL_BYTE Size Error\r\n");
        return kDvdMicomImageSizeError;
    }

    NKDbgPrintfW(u"DVD: DVDmicomUpgrade START %d\r\n", static_cast<int>(GetTickCount()));
    if (!Control(static_cast<BYTE>(DvdMicomUpgradeControl::Start))) {
        const int result = static_cast<int>(updater::FailureCode());
        NKDbgPrintfW(u"DVD: DVDmicomUpgrade Start FALSE %d\r\n", result);
        return result;
    }
    Sleep(kStartWaitMs);

    int resends = 0;
    BYTE record[kDvdMicomBlockRecordBytes];
    for (DWORD block = 0; block < kDvdMicomBlocks; ++block) {
        record[0] = static_cast<BYTE>(block);
        std::copy_n(image.begin() + block * kDvdMicomBlockBytes, kDvdMicomBlockBytes, record + 1);
        NKDbgPrintfW(u"DVD: DVDmicomUpgradeData Block [%d]\r\n", static_cast<int>(block));
        if (DVDmicomUpgradeData(record))
            continue;
        NKDbgPrintfW(u"DVD: DVDmicomUpgrade deData Error(%d)\r\n", GetLastError());
        if (!DVDmicomUpgradeData(record)) {
            NKDbgPrintfW(u"DVD: retry DVDmicomUpgrade deData Error(%d)\r\n", GetLastError());
            NKDbgPrintfW(u"DVD: DVDmicomUpgrade FASLE [%d]\r\n", resends + 2);
            return kDvdMicomResendFailed;
        }
        ++resends;
    }

    NKDbgPrintfW(u"DVD: DVDmicomUpgrade TRUE [%d]\r\n", resends);
    NKDbgPrintfW(u"DVD: DVDmicomUpgrade END %d\r\n", static_cast<int>(GetTickCount()));
    Sleep(waitMs);
    if (!Control(static_cast<BYTE>(DvdMicomUpgradeControl::End))) {
        const int result = static_cast<int>(updater::FailureCode());
        NKDbgPrintfW(u"DVD: DVDmicomUpgrade Error(%d)\r\n", result);
        return result;
    }
    return 0;
}
