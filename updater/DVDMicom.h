// The firmware download of the DVD deck's micom through the driver "DVD1:":
// a 6144-byte image in 96 numbered blocks of 64 bytes between a start and
// an end command, each block sent again once when the deck refuses it.
#pragma once

#include "platform/base/Types.h"

// Results of DVDmicomUpgrade besides 0 and the last errors of failed calls.
inline constexpr int kDvdMicomResendFailed = 20;
// The image is not 6144 bytes: refused before the deck is told anything.
inline constexpr int kDvdMicomImageSizeError = 24;

namespace updater {
inline constexpr const WCHAR* kDvdMicomFile = u"\\_MAKE_TEMP_\\_DVDMICOM_.BIN";
} // namespace updater

class CDVDMicom {
public:
    CDVDMicom() = default;
    ~CDVDMicom();
    CDVDMicom(const CDVDMicom&) = delete;
    CDVDMicom& operator=(const CDVDMicom&) = delete;

    // Opens "DVD1:" (once; the handle stays open until destruction).
    void DVD_open();
    // One block record: the index, then its 64 bytes.
    BOOL DVDmicomUpgradeData(const BYTE* record);
    // Sends the image file and waits waitMs before the end command. 0 on
    // success; kDvdMicomImageSizeError for an image of another size; 20
    // when a block failed twice; -1, 1903 or the last error when the file
    // could not be read or the start or end command failed.
    int DVDmicomUpgrade(LPCWSTR path, DWORD waitMs);

private:
    BOOL Control(BYTE control);

    HANDLE m_hDvd = INVALID_HANDLE_VALUE;
};
