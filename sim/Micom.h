// The main micom behind the driver "NEC1:".
//
// Its run-time side: the window registration with the driver's version, the
// status word (ACC, tail lamp, rear camera, start-up and auto-light bits),
// the backlight, amplifier mute, clock, state, alive, setting, init and
// intro requests, and the status block (Block0) with the text block, which
// the micom keeps across power cycles: with a state file they are kept in
// it, so they survive a restart of the unit. A written status block is taken
// only when its checksum (the byte sum of its first 136 bytes, at byte 136)
// is right. Changes of ACC, tail lamp and reverse gear, the keys and the end
// of a tilt move are posted as "AP_MSG_NEC_2_SHELL".
//
// Its loader side: the firmware download the updater runs (start, one
// S-record line per call, end) and the reset that restarts the unit.
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
#include "platform/io/MicomDriver.h"
#include "sim/BoardDevice.h"

#include <array>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

class CMicom : public CBoardDevice {
public:
    static constexpr DWORD kDefaultDriverVersion = 0x00010203;

    enum class FirmwareState {
        Original,       // never downloaded
        Downloading,    // start taken, no end yet
        Updated,        // a complete download was taken
        HalfProgrammed, // a download stopped half-way (end refused, or reset)
    };

    using Block0 = std::array<BYTE, kMicomBlock0Size>;
    using TextBlock = std::array<BYTE, kMicomTextBlockSize>;

    // A micom whose blocks live only in memory (all zero at first, as a
    // micom that never kept anything), or in the state file (created when
    // a block is first written; a file of the wrong size reads as absent).
    explicit CMicom(std::string stateFile = {});

    // Registers a new micom under "NEC1:" and returns it.
    static std::shared_ptr<CMicom> Install(std::string stateFile = {});
    static void Uninstall();
    // The byte sum of the first 136 bytes, as the block's checksum.
    static DWORD Block0Sum(const Block0& block);

    // The board's inputs. Each changes the status word and, when it changed
    // something, posts its notice.
    void SetAcc(bool on);
    void SetTailLamp(bool on);
    void SetReverseGear(bool on);
    void SetStatusBit(MicomStatusBit bit, bool on); // no notice
    // A key: down, then up after the hold (the caller waits); encoder steps
    // post one notice.
    void KeyDown(MicomKey key);
    void KeyUp(MicomKey key);
    void Encoder(bool up);
    void TiltMoveEnd(DWORD position);
    // Any notice, for what the helpers above do not cover.
    void Notify(MicomNotice notice, DWORD value);

    // Misbehaviour.
    // The line-th line of the download (counted from 1 across the whole
    // download, resends included) is refused with the error, once.
    void RefuseLine(int line, DWORD error);
    void RefuseStart(DWORD error);

    // What it was asked and what it holds.
    DWORD Status() const;
    Block0 StoredBlock0() const;
    TextBlock StoredTextBlock() const;
    // Puts a block in as if written earlier (checksum not checked), and
    // keeps it in the state file.
    void PutBlock0(const Block0& block);
    // The last byte values of the one-byte requests (-1 never sent), and
    // the last state request.
    int Backlight() const;
    int AmpMute() const;
    int Setting() const;
    int IntroSound() const;
    std::array<BYTE, 2> State2() const;
    int Alives() const;
    int Inits() const;
    int RtcSets() const;
    FirmwareState State() const;
    // The lines received, as sent (refused ones too).
    std::vector<std::string> Lines() const;
    int UpgradeStarts() const;
    int UpgradeEnds() const;
    // The values of the resets received (0 for a reset without one).
    std::vector<DWORD> Resets() const;
    // The program memory written by the last taken download, by address.
    std::map<DWORD, BYTE> Firmware() const;

protected:
    BOOL Control(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned) override;

private:
    BOOL RunTime(MicomIoctl code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned);
    BOOL OneByte(const BYTE* in, DWORD inSize, int* value);
    void LoadState();
    bool SaveState() const;
    BOOL Register(const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned);
    BOOL TakeLine(const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned);
    BOOL EndDownload();

    mutable std::mutex m_lock;
    std::string m_stateFile;
    DWORD m_status = static_cast<DWORD>(MicomStatusBit::Acc);
    Block0 m_block0{};
    TextBlock m_text{};
    int m_backlight = -1;
    int m_ampMute = -1;
    int m_setting = -1;
    int m_intro = -1;
    std::array<BYTE, 2> m_state2{};
    int m_alives = 0;
    int m_inits = 0;
    int m_rtcSets = 0;
    FirmwareState m_state = FirmwareState::Original;
    std::vector<std::string> m_lines;
    std::map<DWORD, BYTE> m_received; // this download's data
    std::map<DWORD, BYTE> m_firmware;
    bool m_headerSeen = false;
    bool m_endSeen = false;
    int m_lineCount = 0;
    std::map<int, DWORD> m_refusedLines;
    DWORD m_startError = 0;
    int m_starts = 0;
    int m_ends = 0;
    std::vector<DWORD> m_resets;
};

} // namespace sim
