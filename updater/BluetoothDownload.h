// The Bluetooth module's firmware download: DfuDownload checks a DFU file,
// wakes the module on "COM3:", and runs the download protocol (CDfuLink)
// with a receive thread that parses what the module sends and answers it,
// while the calling thread waits for the end, at most for the time the
// update sequence allots the Bluetooth step.
#pragma once

#include "platform/base/Types.h"
#include "updater/DfuLink.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

// The update sequence's watchdog of the Bluetooth step: a download that has
// not ended by then fails.
inline constexpr DWORD kBtDownloadTimeoutMs = 150000;

// Downloads the DFU file (a unit path) to the module; true when the module
// reported the end of the download. Fails without opening the port when the
// file is not a sound DFU file.
BOOL DfuDownload(LPCWSTR path, DWORD timeoutMs = kBtDownloadTimeoutMs);

class CBtDfuDownload {
public:
    static constexpr DWORD kBaudRate = 115200;
    static constexpr DWORD kQueueSize = 4192;
    static constexpr DWORD kReadChunk = 2048;
    static constexpr std::size_t kMaxFileSize = 16 * 1024 * 1024;
    static constexpr DWORD kWakeUpWaitMs = 100;
    static constexpr int kWakeUpTries = 1000;
    static constexpr DWORD kWakeUpPollMs = 10;
    static constexpr DWORD kWaitStepMs = 5;

    explicit CBtDfuDownload(DWORD timeoutMs = kBtDownloadTimeoutMs);
    ~CBtDfuDownload();
    CBtDfuDownload(const CBtDfuDownload&) = delete;
    CBtDfuDownload& operator=(const CBtDfuDownload&) = delete;

    BOOL DfuDownload(LPCWSTR path);

    BOOL ReadDfuFile(LPCWSTR path);
    // Checks the suffix's signature and length and the file's CRC.
    BOOL VerifyDfuFile();
    // Opens and sets up the port, wakes the module and starts the receive
    // thread.
    BOOL OpenDfuComPort();
    void CloseComPort();
    // Stops the receive thread, closes the port and frees the file.
    void ReleaseDfuFile();
    BOOL WriteComm(const BYTE* data, DWORD size);
    // Bytes read (up to max), 0 when none came or the read failed.
    DWORD ReadComm(BYTE* buffer, DWORD max);
    BOOL ComPort_Parity_Set(BOOL on);

    // What the link ended with (for the log and tests): why it failed,
    // damaged frames it dropped, requests it sent again.
    DfuLinkError Error() const { return m_error; }
    int DroppedFrames() const { return m_droppedFrames; }
    int Retransmissions() const { return m_retransmissions; }

private:
    static DWORD ThreadWatchComm(LPVOID self);
    void WatchComm();
    BOOL WakeUp(std::uint64_t deadline);
    BOOL AwaitIndication(std::uint64_t deadline);
    BOOL WaitForEnd(std::uint64_t deadline);

    const DWORD m_timeoutMs;
    std::vector<BYTE> m_file;
    bool m_fileRead = false;
    HANDLE m_port = nullptr;
    HANDLE m_thread = nullptr;
    std::atomic<bool> m_running{false};
    std::mutex m_busy; // one port transfer at a time
    std::mutex m_lock; // the link state, shared with the receive thread
    CDfuLink m_link;
    DfuLinkError m_error = DfuLinkError::None;
    int m_droppedFrames = 0;
    int m_retransmissions = 0;
};
