// The remote-control receiver behind the driver "RMT1:". A key of the
// remote posts "AP_MSG_RF_REMOCON_2_APP" with the press, then one repeat
// for every repeat period it is held, then the release.
#pragma once

#include "platform/io/RemoteDriver.h"
#include "sim/BoardDevice.h"

#include <memory>

namespace sim {

class CRemoteControl : public CBoardDevice {
public:
    static std::shared_ptr<CRemoteControl> Install();
    static void Uninstall();

    // A key pressed, held for repeats repeat periods, released.
    void Press(RemoteKey key, int repeats = 0);
    // The single steps.
    void Send(RemoteKeyState state, RemoteKey key);
    // The key being held (between a press and its release), 0 when none.
    DWORD HeldKey() const;
    int Cleans() const;

protected:
    BOOL Control(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned) override;

private:
    mutable std::mutex m_lock;
    DWORD m_held = 0;
    int m_cleans = 0;
};

} // namespace sim
