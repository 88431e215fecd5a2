#include "sim/ConnectionStatus.h"

#include "platform/base/Error.h"
#include "platform/io/Io.h"
#include "platform/io/RawDisk.h"

#include <cstring>

namespace sim {

std::shared_ptr<CConnectionStatus> CConnectionStatus::Install()
{
    auto status = std::make_shared<CConnectionStatus>();
    platform::RegisterDevice(u"CST1:", status);
    return status;
}

void CConnectionStatus::Uninstall()
{
    platform::UnregisterDevice(u"CST1:");
}

BOOL CConnectionStatus::Control(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned)
{
    switch (static_cast<ConnectionIoctl>(code)) {
    case ConnectionIoctl::Register: {
        if (!OutputFits(out, outSize, kConnectionWords * 4) || !TakeWindow(in, inSize))
            return FALSE;
        std::lock_guard<std::mutex> guard(m_lock);
        for (DWORD i = 0; i < kConnectionWords; ++i)
            platform::PutRawWord(out + 4 * i, m_words[i]);
        if (returned)
            *returned = kConnectionWords * 4;
        return TRUE;
    }
    case ConnectionIoctl::TiltStatus: {
        if (!InputIs(in, inSize, 0) || !OutputFits(out, outSize, kTiltStatusSize))
            return FALSE;
        std::lock_guard<std::mutex> guard(m_lock);
        std::memset(out, 0, kTiltStatusSize);
        platform::PutRawWord(out + kTiltDiscWordOffset, m_words[static_cast<DWORD>(ConnectionWord::Disc)]);
        if (returned)
            *returned = kTiltStatusSize;
        return TRUE;
    }
    case ConnectionIoctl::VideoControl: {
        // Callers send the value as one byte or as a 32-bit word.
        if (inSize != 1 && !InputIs(in, inSize, 4))
            return FALSE;
        if (!in)
            return Fail(ERROR_INVALID_PARAMETER);
        const DWORD value = inSize == 1 ? in[0] : platform::GetRawWord(in);
        if (value > 1)
            return Fail(ERROR_INVALID_PARAMETER);
        std::lock_guard<std::mutex> guard(m_lock);
        m_videoControl = static_cast<int>(value);
        return TRUE;
    }
    case ConnectionIoctl::TunerFilter: {
        if (!InputIs(in, inSize, 1))
            return FALSE;
        if (in[0] > 1)
            return Fail(ERROR_INVALID_PARAMETER);
        std::lock_guard<std::mutex> guard(m_lock);
        m_tunerFilter = in[0];
        return TRUE;
    }
    case ConnectionIoctl::GiveUp: {
        if (!InputIs(in, inSize, 0))
            return FALSE;
        std::lock_guard<std::mutex> guard(m_lock);
        ++m_giveUps;
        return TRUE;
    }
    }
    return Fail(ERROR_INVALID_FUNCTION);
}

void CConnectionStatus::SetWord(ConnectionWord word, DWORD value, BoardNotice notice)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        DWORD& stored = m_words[static_cast<DWORD>(word)];
        if (stored == value)
            return;
        stored = value;
    }
    Notify(notice, value);
}

void CConnectionStatus::SetSd0(bool in)
{
    SetWord(ConnectionWord::Sd0, in ? 1 : 0, BoardNotice::Sd0);
}

void CConnectionStatus::SetSd1(bool in)
{
    SetWord(ConnectionWord::Sd1, in ? 1 : 0, BoardNotice::Sd1);
}

void CConnectionStatus::SetUsb(bool in)
{
    SetWord(ConnectionWord::Usb, in ? 1 : 0, BoardNotice::Usb);
}

void CConnectionStatus::SetIpod(bool in)
{
    SetWord(ConnectionWord::Ipod, in ? 1 : 0, BoardNotice::Ipod);
}

void CConnectionStatus::SetParked(bool parked)
{
    // The park signal reads zero while the brake is applied.
    SetWord(ConnectionWord::Park, parked ? 0 : 1, BoardNotice::Park);
}

void CConnectionStatus::SetDisc(BoardDiscValue value)
{
    if (value == BoardDiscValue::Inserted || value == BoardDiscValue::Removed) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_words[static_cast<DWORD>(ConnectionWord::Disc)] = value == BoardDiscValue::Inserted ? 1 : 0;
    }
    Notify(BoardNotice::Disc, static_cast<DWORD>(value));
}

void CConnectionStatus::Notify(BoardNotice notice, DWORD value)
{
    Post(kBoardMessageName, static_cast<DWORD>(notice), value);
}

DWORD CConnectionStatus::Word(ConnectionWord word) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_words[static_cast<DWORD>(word)];
}

int CConnectionStatus::VideoControl() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_videoControl;
}

int CConnectionStatus::TunerFilter() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_tunerFilter;
}

int CConnectionStatus::GiveUps() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_giveUps;
}

} // namespace sim
