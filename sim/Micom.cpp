#include "sim/Micom.h"

#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/io/Io.h"
#include "platform/io/MicomDriver.h"
#include "platform/io/RawDisk.h"

#include <cstring>

namespace sim {
namespace {

constexpr BYTE kAck = 0x06;

// One S-record as the loader reads it.
struct Record {
    int type = -1;
    DWORD address = 0;
    std::vector<BYTE> data;
};

// The address length in bytes by record type; 0 for types the loader does
// not know.
int AddressBytes(int type)
{
    switch (type) {
    case 0:
    case 1:
    case 5:
    case 9:
        return 2;
    case 2:
    case 6:
    case 8:
        return 3;
    case 3:
    case 7:
        return 4;
    default:
        return 0;
    }
}

// False with the loader's error when the line is not a sound record.
bool ParseRecord(const std::string& line, Record* record, DWORD* error)
{
    *error = ERROR_INVALID_DATA;
    if (line.size() < 4 || line[0] != 'S' || line[1] < '0' || line[1] > '9' || line.size() % 2 != 0)
        return false;
    record->type = line[1] - '0';
    const int addressBytes = AddressBytes(record->type);
    std::vector<BYTE> bytes;
    for (std::size_t i = 2; i < line.size(); i += 2) {
        const int high = platform::HexDigitValue(line[i]);
        const int low = platform::HexDigitValue(line[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes.push_back(static_cast<BYTE>(high << 4 | low));
    }
    if (addressBytes == 0 || bytes[0] + 1u != bytes.size() || bytes[0] < addressBytes + 1)
        return false;
    BYTE sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        sum = static_cast<BYTE>(sum + bytes[i]);
    if (static_cast<BYTE>(~sum) != bytes.back()) {
        *error = ERROR_CRC;
        return false;
    }
    for (int i = 0; i < addressBytes; ++i)
        record->address = record->address << 8 | bytes[1 + i];
    record->data.assign(bytes.begin() + 1 + addressBytes, bytes.end() - 1);
    return true;
}

} // namespace

std::shared_ptr<CMicom> CMicom::Install()
{
    auto micom = std::make_shared<CMicom>();
    platform::RegisterDevice(u"NEC1:", micom);
    return micom;
}

void CMicom::Uninstall()
{
    platform::UnregisterDevice(u"NEC1:");
}

bool CMicom::Open(DWORD, DWORD)
{
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_open;
    return true;
}

void CMicom::Close()
{
    std::lock_guard<std::mutex> guard(m_lock);
    --m_open;
}

BOOL CMicom::IoControl(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_silent) {
        SetLastError(ERROR_TIMEOUT);
        return FALSE;
    }
    switch (static_cast<MicomIoctl>(code)) {
    case MicomIoctl::RegisterWindow:
        return Register(in, inSize, out, outSize, returned);
    case MicomIoctl::UpgradeStart:
        if (m_startError != 0) {
            SetLastError(m_startError);
            return FALSE;
        }
        ++m_starts;
        m_state = FirmwareState::Downloading;
        m_received.clear();
        m_headerSeen = false;
        m_endSeen = false;
        return TRUE;
    case MicomIoctl::Upgrade:
        return TakeLine(in, inSize, out, outSize, returned);
    case MicomIoctl::UpgradeEnd:
        ++m_ends;
        return EndDownload();
    case MicomIoctl::Reset:
        if (inSize != 0 && (!in || inSize != 4)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        m_resets.push_back(inSize == 4 ? platform::GetRawWord(in) : 0);
        if (m_state == FirmwareState::Downloading)
            m_state = FirmwareState::HalfProgrammed;
        return TRUE;
    }
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

BOOL CMicom::Register(const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned)
{
    if (!in || inSize != sizeof(HWND) || !out || outSize < 4) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::memcpy(&m_window, in, sizeof(HWND));
    platform::PutRawWord(out, kDefaultDriverVersion);
    if (returned)
        *returned = 4;
    return TRUE;
}

BOOL CMicom::TakeLine(const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned)
{
    if (m_state != FirmwareState::Downloading) {
        SetLastError(ERROR_NOT_READY);
        return FALSE;
    }
    const std::string line = in ? std::string(reinterpret_cast<const char*>(in), inSize) : std::string();
    m_lines.push_back(line);
    ++m_lineCount;
    if (auto refused = m_refusedLines.find(m_lineCount); refused != m_refusedLines.end()) {
        SetLastError(refused->second);
        m_refusedLines.erase(refused);
        return FALSE;
    }
    Record record;
    DWORD error = 0;
    if (!ParseRecord(line, &record, &error)) {
        SetLastError(error);
        return FALSE;
    }
    // A header starts the image over (the updater sends the file again
    // from its start); data comes between the header and the end record.
    if (record.type == 0) {
        m_headerSeen = true;
        m_endSeen = false;
        m_received.clear();
    } else if (!m_headerSeen || m_endSeen || record.type == 8 || record.type == 9) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    } else if (record.type >= 1 && record.type <= 3) {
        for (std::size_t i = 0; i < record.data.size(); ++i)
            m_received[record.address + static_cast<DWORD>(i)] = record.data[i];
    } else if (record.type == 7) {
        m_endSeen = true;
    }
    if (out && outSize >= 2) {
        out[0] = kAck;
        out[1] = static_cast<BYTE>(line[1]);
        if (returned)
            *returned = 2;
    }
    return TRUE;
}

BOOL CMicom::EndDownload()
{
    if (m_state != FirmwareState::Downloading) {
        SetLastError(ERROR_NOT_READY);
        return FALSE;
    }
    if (!m_headerSeen || !m_endSeen) {
        m_state = FirmwareState::HalfProgrammed;
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    m_firmware = m_received;
    m_state = FirmwareState::Updated;
    return TRUE;
}

void CMicom::RefuseLine(int line, DWORD error)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_refusedLines[line] = error;
}

void CMicom::SetSilent(bool silent)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_silent = silent;
}

void CMicom::RefuseStart(DWORD error)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_startError = error;
}

HWND CMicom::Window() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_window;
}

CMicom::FirmwareState CMicom::State() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_state;
}

std::vector<std::string> CMicom::Lines() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lines;
}

int CMicom::UpgradeStarts() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_starts;
}

int CMicom::UpgradeEnds() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_ends;
}

std::vector<DWORD> CMicom::Resets() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_resets;
}

std::map<DWORD, BYTE> CMicom::Firmware() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_firmware;
}

int CMicom::OpenHandles() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_open;
}

} // namespace sim
