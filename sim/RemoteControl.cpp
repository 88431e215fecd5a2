#include "sim/RemoteControl.h"

#include "platform/base/Error.h"
#include "platform/io/Io.h"

namespace sim {

std::shared_ptr<CRemoteControl> CRemoteControl::Install()
{
    auto remote = std::make_shared<CRemoteControl>();
    platform::RegisterDevice(u"RMT1:", remote);
    return remote;
}

void CRemoteControl::Uninstall()
{
    platform::UnregisterDevice(u"RMT1:");
}

BOOL CRemoteControl::Control(DWORD code, const BYTE* in, DWORD inSize, BYTE*, DWORD, DWORD*)
{
    switch (static_cast<RemoteIoctl>(code)) {
    case RemoteIoctl::Register:
        return TakeWindow(in, inSize) ? TRUE : FALSE;
    case RemoteIoctl::Clean: {
        if (!InputIs(in, inSize, 0))
            return FALSE;
        std::lock_guard<std::mutex> guard(m_lock);
        m_held = 0;
        ++m_cleans;
        return TRUE;
    }
    }
    return Fail(ERROR_INVALID_FUNCTION);
}

void CRemoteControl::Press(RemoteKey key, int repeats)
{
    Send(RemoteKeyState::Down, key);
    for (int i = 0; i < repeats; ++i)
        Send(RemoteKeyState::Repeat, key);
    Send(RemoteKeyState::Up, key);
}

void CRemoteControl::Send(RemoteKeyState state, RemoteKey key)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_held = state == RemoteKeyState::Up ? 0 : static_cast<DWORD>(key);
    }
    Post(kRemoteMessageName, static_cast<DWORD>(state), static_cast<DWORD>(key));
}

DWORD CRemoteControl::HeldKey() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_held;
}

int CRemoteControl::Cleans() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_cleans;
}

} // namespace sim
