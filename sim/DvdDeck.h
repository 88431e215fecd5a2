// The DVD deck behind the driver "DVD1:". So far the side its micom's
// firmware download uses: a start, the 96 blocks of 64 bytes in order (a
// block may come again, as a resend), and an end, which takes the image
// when every block arrived.
//
// Tests make it misbehave: a block refused a number of times (a bad
// answer), every call timing out (silence), or the start refused.
#pragma once

#include "platform/base/Types.h"
#include "platform/io/Device.h"

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace sim {

class CDvdDeck : public platform::Device {
public:
    enum class FirmwareState { Original, Downloading, Updated, HalfProgrammed };

    static std::shared_ptr<CDvdDeck> Install();
    static void Uninstall();

    bool Open(DWORD access, DWORD share) override;
    BOOL IoControl(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned) override;
    void Close() override;

    // Block index is refused times times (ERROR_IO_DEVICE) before it is
    // taken.
    void RefuseBlock(int index, int times);
    void SetSilent(bool silent);
    void RefuseStart(DWORD error);

    FirmwareState State() const;
    // The image taken by the last complete download (empty before one).
    std::vector<BYTE> Firmware() const;
    // The block indexes received, in order, refused ones included.
    std::vector<int> Blocks() const;
    int Starts() const;
    int Ends() const;
    int OpenHandles() const;

private:
    BOOL Control(BYTE control);
    BOOL TakeBlock(const BYTE* in, DWORD inSize);

    mutable std::mutex m_lock;
    FirmwareState m_state = FirmwareState::Original;
    std::vector<BYTE> m_image;
    std::vector<BYTE> m_firmware;
    int m_next = 0; // the next block expected
    std::vector<int> m_blocks;
    std::map<int, int> m_refusals;
    bool m_silent = false;
    DWORD m_startError = 0;
    int m_starts = 0;
    int m_ends = 0;
    int m_open = 0;
};

} // namespace sim
