// The main micom behind the driver "NEC1:". So far its loader side: the
// window registration with the driver's version, and the firmware download
// the updater runs (start, one S-record line per call, end) and the reset
// that restarts the unit.
//
// The loader checks every line it is given as a Motorola S-record (type,
// count, hex digits, checksum) and keeps the bytes of the data records; it
// takes the download only when an S0 header came first and an S7 record
// ended it. An end without that, or a reset in the middle of a download,
// leaves the micom half-programmed.
//
// Tests make it misbehave: a line refused (a bad answer), every call timing
// out (silence), or the start refused.
#pragma once

#include "platform/base/Types.h"
#include "platform/io/Device.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

class CMicom : public platform::Device {
public:
    static constexpr DWORD kDefaultDriverVersion = 0x00010203;

    enum class FirmwareState {
        Original,       // never downloaded
        Downloading,    // start taken, no end yet
        Updated,        // a complete download was taken
        HalfProgrammed, // a download stopped half-way (end refused, or reset)
    };

    // Registers a new micom under "NEC1:" and returns it.
    static std::shared_ptr<CMicom> Install();
    static void Uninstall();

    bool Open(DWORD access, DWORD share) override;
    BOOL IoControl(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned) override;
    void Close() override;

    // Misbehaviour.
    // The line-th line of the download (counted from 1 across the whole
    // download, resends included) is refused with the error, once.
    void RefuseLine(int line, DWORD error);
    // Every call fails with ERROR_TIMEOUT while set.
    void SetSilent(bool silent);
    void RefuseStart(DWORD error);

    // What it was asked and what it holds.
    HWND Window() const;
    FirmwareState State() const;
    // The lines received, as sent (refused ones too).
    std::vector<std::string> Lines() const;
    int UpgradeStarts() const;
    int UpgradeEnds() const;
    // The values of the resets received (0 for a reset without one).
    std::vector<DWORD> Resets() const;
    // The program memory written by the last taken download, by address.
    std::map<DWORD, BYTE> Firmware() const;
    int OpenHandles() const;

private:
    BOOL Register(const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned);
    BOOL TakeLine(const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned);
    BOOL EndDownload();

    mutable std::mutex m_lock;
    HWND m_window = nullptr;
    FirmwareState m_state = FirmwareState::Original;
    std::vector<std::string> m_lines;
    std::map<DWORD, BYTE> m_received; // this download's data
    std::map<DWORD, BYTE> m_firmware;
    bool m_headerSeen = false;
    bool m_endSeen = false;
    int m_lineCount = 0;
    std::map<int, DWORD> m_refusedLines;
    bool m_silent = false;
    DWORD m_startError = 0;
    int m_starts = 0;
    int m_ends = 0;
    std::vector<DWORD> m_resets;
    int m_open = 0;
};

} // namespace sim
