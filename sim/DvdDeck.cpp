#include "sim/DvdDeck.h"

#include "platform/base/Error.h"
#include "platform/io/DvdDriver.h"
#include "platform/io/Io.h"

#include <algorithm>

namespace sim {

std::shared_ptr<CDvdDeck> CDvdDeck::Install()
{
    auto deck = std::make_shared<CDvdDeck>();
    platform::RegisterDevice(u"DVD1:", deck);
    return deck;
}

void CDvdDeck::Uninstall()
{
    platform::UnregisterDevice(u"DVD1:");
}

bool CDvdDeck::Open(DWORD, DWORD)
{
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_open;
    return true;
}

void CDvdDeck::Close()
{
    std::lock_guard<std::mutex> guard(m_lock);
    --m_open;
}

BOOL CDvdDeck::IoControl(DWORD code, const BYTE* in, DWORD inSize, BYTE*, DWORD, DWORD*)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_silent) {
        SetLastError(ERROR_TIMEOUT);
        return FALSE;
    }
    switch (static_cast<DvdIoctl>(code)) {
    case DvdIoctl::MicomUpgradeControl:
        if (!in || inSize != 1)
            break;
        return Control(in[0]);
    case DvdIoctl::MicomUpgradeData:
        return TakeBlock(in, inSize);
    default:
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

BOOL CDvdDeck::Control(BYTE control)
{
    switch (static_cast<DvdMicomUpgradeControl>(control)) {
    case DvdMicomUpgradeControl::Start:
        if (m_startError != 0) {
            SetLastError(m_startError);
            return FALSE;
        }
        ++m_starts;
        m_state = FirmwareState::Downloading;
        m_image.assign(kDvdMicomImageBytes, 0);
        m_next = 0;
        return TRUE;
    case DvdMicomUpgradeControl::End:
        ++m_ends;
        if (m_state != FirmwareState::Downloading) {
            SetLastError(ERROR_NOT_READY);
            return FALSE;
        }
        if (m_next != static_cast<int>(kDvdMicomBlocks)) {
            m_state = FirmwareState::HalfProgrammed;
            SetLastError(ERROR_INVALID_DATA);
            return FALSE;
        }
        m_firmware = m_image;
        m_state = FirmwareState::Updated;
        return TRUE;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

BOOL CDvdDeck::TakeBlock(const BYTE* in, DWORD inSize)
{
    if (!in || inSize != kDvdMicomBlockRecordBytes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const int index = in[0];
    m_blocks.push_back(index);
    if (m_state != FirmwareState::Downloading) {
        SetLastError(ERROR_NOT_READY);
        return FALSE;
    }
    if (auto refusal = m_refusals.find(index); refusal != m_refusals.end() && refusal->second > 0) {
        --refusal->second;
        SetLastError(ERROR_IO_DEVICE);
        return FALSE;
    }
    // In order; the block just taken may come again.
    if (index != m_next && index != m_next - 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::copy(in + 1, in + kDvdMicomBlockRecordBytes, m_image.begin() + index * kDvdMicomBlockBytes);
    if (index == m_next)
        ++m_next;
    return TRUE;
}

void CDvdDeck::RefuseBlock(int index, int times)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_refusals[index] = times;
}

void CDvdDeck::SetSilent(bool silent)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_silent = silent;
}

void CDvdDeck::RefuseStart(DWORD error)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_startError = error;
}

CDvdDeck::FirmwareState CDvdDeck::State() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_state;
}

std::vector<BYTE> CDvdDeck::Firmware() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_firmware;
}

std::vector<int> CDvdDeck::Blocks() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_blocks;
}

int CDvdDeck::Starts() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_starts;
}

int CDvdDeck::Ends() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_ends;
}

int CDvdDeck::OpenHandles() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_open;
}

} // namespace sim
