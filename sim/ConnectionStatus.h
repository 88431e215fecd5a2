// The connection status driver "CST1:": what is plugged in (the two SD
// cards, the USB disk, the iPod), the park brake, the disc slot of the tilt
// panel, and the messages it posts when one of them changes
// ("AP_MSG_CHNAGE_STATE_2_APP").
//
// The registration answers the six status words; the tilt status is a
// 24-byte record whose word at byte 8 tells whether a disc is in the slot.
#pragma once

#include "platform/io/ConnectionDriver.h"
#include "sim/BoardDevice.h"

#include <array>
#include <memory>

namespace sim {

class CConnectionStatus : public CBoardDevice {
public:
    static std::shared_ptr<CConnectionStatus> Install();
    static void Uninstall();

    // The board's inputs: each sets its word and posts its notice when the
    // word changed. Park: true when the park brake is applied.
    void SetSd0(bool in);
    void SetSd1(bool in);
    void SetUsb(bool in);
    void SetIpod(bool in);
    void SetParked(bool parked);
    // A disc goes in (Inserted) or out (Removed), or the deck reports a
    // step of its operation; the disc word follows Inserted and Removed.
    void SetDisc(BoardDiscValue value);
    // Any notice, for what the helpers above do not cover.
    void Notify(BoardNotice notice, DWORD value);

    DWORD Word(ConnectionWord word) const;
    // Last VideoControl and TunerFilter values, -1 when never sent.
    int VideoControl() const;
    int TunerFilter() const;
    int GiveUps() const;

protected:
    BOOL Control(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned) override;

private:
    void SetWord(ConnectionWord word, DWORD value, BoardNotice notice);

    mutable std::mutex m_lock;
    std::array<DWORD, kConnectionWords> m_words{0, 0, 0, 0, 0, 0};
    int m_videoControl = -1;
    int m_tunerFilter = -1;
    int m_giveUps = 0;
};

} // namespace sim
