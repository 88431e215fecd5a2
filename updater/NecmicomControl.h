// The updater's link to the main micom through the driver "NEC1:": the
// window registration, the firmware download (start, one S-record line per
// call, end) and the reset that restarts the unit.
#pragma once

#include "platform/base/Types.h"

// Results of UpgradeFromFile besides 0 (success) and the last errors of the
// calls that failed.
inline constexpr int kMicomLineTooLong = 14;
inline constexpr int kMicomFileRefused = 13;
inline constexpr int kMicomDownloadFailed = 20;

class CNEC {
public:
    static constexpr int kMaxPasses = 10;

    CNEC() = default;
    ~CNEC();
    CNEC(const CNEC&) = delete;
    CNEC& operator=(const CNEC&) = delete;

    // Opens "NEC1:" and registers the window; the handle, null on failure.
    HANDLE Open(HWND window);
    // Unregisters the window and closes the handle.
    void Close();
    bool IsOpen() const { return m_hDevice != INVALID_HANDLE_VALUE; }
    DWORD Version() const { return m_version; }

    BOOL NecmicomUpgradeStart();
    BOOL NecmicomUpgradeEnd();
    BOOL NecmicomUpgrade(const BYTE* line, DWORD length);
    // Sends the value when it is not 0, else no input.
    BOOL NecmicomReset(DWORD value = 0);

    // Sends the S-record file line by line, in up to ten passes over it,
    // waits waitMs and ends the download. 0 on success. A file that is not
    // sound is refused before the micom is told to start: 14 for a line of
    // 128 characters or more, 13 for any other fault. 20 when no pass came
    // to the end record; -1, 1903 or the last error when the file could not
    // be read, or the start or end command failed.
    int UpgradeFromFile(LPCWSTR path, DWORD waitMs);

private:
    BOOL Control(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, int line, LPCWSTR what);

    HANDLE m_hDevice = INVALID_HANDLE_VALUE;
    DWORD m_version = 0;
};
