#include "sim/Micom.h"

#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/io/Io.h"
#include "platform/io/MicomDriver.h"
#include "platform/io/RawDisk.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

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

CMicom::CMicom(std::string stateFile) : m_stateFile(std::move(stateFile))
{
    LoadState();
}

std::shared_ptr<CMicom> CMicom::Install(std::string stateFile)
{
    auto micom = std::make_shared<CMicom>(std::move(stateFile));
    platform::RegisterDevice(u"NEC1:", micom);
    return micom;
}

void CMicom::Uninstall()
{
    platform::UnregisterDevice(u"NEC1:");
}

DWORD CMicom::Block0Sum(const Block0& block)
{
    DWORD sum = 0;
    for (DWORD i = 0; i < kMicomBlock0SumOffset; ++i)
        sum += block[i];
    return sum;
}

BOOL CMicom::Control(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned)
{
    if (static_cast<MicomIoctl>(code) == MicomIoctl::RegisterWindow)
        return Register(in, inSize, out, outSize, returned);
    std::lock_guard<std::mutex> guard(m_lock);
    switch (static_cast<MicomIoctl>(code)) {
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
    default:
        return RunTime(static_cast<MicomIoctl>(code), in, inSize, out, outSize, returned);
    }
}

BOOL CMicom::Register(const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned)
{
    if (!OutputFits(out, outSize, 4) || !TakeWindow(in, inSize))
        return FALSE;
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

void CMicom::RefuseStart(DWORD error)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_startError = error;
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

BOOL CMicom::OneByte(const BYTE* in, DWORD inSize, int* value)
{
    if (!InputIs(in, inSize, 1))
        return FALSE;
    *value = in[0];
    return TRUE;
}

// Called with m_lock held.
BOOL CMicom::RunTime(MicomIoctl code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned)
{
    switch (code) {
    case MicomIoctl::GetStatus:
        if (!InputIs(in, inSize, 0) || !OutputFits(out, outSize, 4))
            return FALSE;
        platform::PutRawWord(out, m_status);
        if (returned)
            *returned = 4;
        return TRUE;
    case MicomIoctl::SetRtc:
        if (!InputIs(in, inSize, 0))
            return FALSE;
        ++m_rtcSets;
        return TRUE;
    case MicomIoctl::Alive:
        if (!InputIs(in, inSize, 0))
            return FALSE;
        ++m_alives;
        return TRUE;
    case MicomIoctl::Init:
        if (!InputIs(in, inSize, 0))
            return FALSE;
        ++m_inits;
        return TRUE;
    case MicomIoctl::Backlight:
        return OneByte(in, inSize, &m_backlight);
    case MicomIoctl::AmpMute:
        return OneByte(in, inSize, &m_ampMute);
    case MicomIoctl::Setting:
        return OneByte(in, inSize, &m_setting);
    case MicomIoctl::Intro:
        return OneByte(in, inSize, &m_intro);
    case MicomIoctl::SetState:
        if (!InputIs(in, inSize, 2))
            return FALSE;
        m_state2 = {in[0], in[1]};
        return TRUE;
    case MicomIoctl::ReadBlock0Checked:
        // The micom checks the block it kept: nothing kept, or a block
        // whose sum is wrong, is refused, and the caller reads it raw.
        if (Block0Sum(m_block0) == 0 || platform::GetRawWord(&m_block0[kMicomBlock0SumOffset]) != Block0Sum(m_block0))
            return Fail(ERROR_CRC);
        [[fallthrough]];
    case MicomIoctl::ReadBlock0:
        if (!InputIs(in, inSize, 0) || !OutputFits(out, outSize, kMicomBlock0Size))
            return FALSE;
        std::memcpy(out, m_block0.data(), kMicomBlock0Size);
        if (returned)
            *returned = kMicomBlock0Size;
        return TRUE;
    case MicomIoctl::ReadTextBlock:
    case MicomIoctl::ReadTextBlockOld:
        if (!InputIs(in, inSize, 0) || !OutputFits(out, outSize, kMicomTextBlockSize))
            return FALSE;
        std::memcpy(out, m_text.data(), kMicomTextBlockSize);
        if (returned)
            *returned = kMicomTextBlockSize;
        return TRUE;
    case MicomIoctl::WriteBlock0: {
        if (!InputIs(in, inSize, kMicomBlock0Size))
            return FALSE;
        Block0 block;
        std::memcpy(block.data(), in, kMicomBlock0Size);
        if (platform::GetRawWord(&block[kMicomBlock0SumOffset]) != Block0Sum(block))
            return Fail(ERROR_CRC);
        if (block == m_block0)
            return TRUE; // the kept block already holds it
        m_block0 = block;
        return SaveState() ? TRUE : Fail(ERROR_WRITE_FAULT);
    }
    case MicomIoctl::WriteTextBlock:
        if (!InputIs(in, inSize, kMicomTextBlockSize))
            return FALSE;
        if (std::memcmp(m_text.data(), in, kMicomTextBlockSize) == 0)
            return TRUE;
        std::memcpy(m_text.data(), in, kMicomTextBlockSize);
        return SaveState() ? TRUE : Fail(ERROR_WRITE_FAULT);
    default:
        return Fail(ERROR_INVALID_FUNCTION);
    }
}

void CMicom::LoadState()
{
    if (m_stateFile.empty())
        return;
    std::ifstream file(m_stateFile, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() != kMicomBlock0Size + kMicomTextBlockSize)
        return;
    std::memcpy(m_block0.data(), bytes.data(), kMicomBlock0Size);
    std::memcpy(m_text.data(), bytes.data() + kMicomBlock0Size, kMicomTextBlockSize);
}

// Written under a temporary name and renamed, so that a power cut leaves
// the old blocks or the new ones.
bool CMicom::SaveState() const
{
    if (m_stateFile.empty())
        return true;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(m_stateFile).parent_path(), error);
    const std::string temporary = m_stateFile + ".new";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(m_block0.data()), kMicomBlock0Size);
        file.write(reinterpret_cast<const char*>(m_text.data()), kMicomTextBlockSize);
        if (!file.flush())
            return false;
    }
    std::filesystem::rename(temporary, m_stateFile, error);
    return !error;
}

void CMicom::SetStatusBit(MicomStatusBit bit, bool on)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (on)
        m_status |= static_cast<DWORD>(bit);
    else
        m_status &= ~static_cast<DWORD>(bit);
}

void CMicom::SetAcc(bool on)
{
    if (((Status() & static_cast<DWORD>(MicomStatusBit::Acc)) != 0) == on)
        return;
    SetStatusBit(MicomStatusBit::Acc, on);
    Notify(on ? MicomNotice::AccOffWaitOff : MicomNotice::AccOffWaitOn, 0);
}

void CMicom::SetTailLamp(bool on)
{
    if (((Status() & static_cast<DWORD>(MicomStatusBit::TailLamp)) != 0) == on)
        return;
    SetStatusBit(MicomStatusBit::TailLamp, on);
    Notify(MicomNotice::TailStatus, on ? 1 : 0);
}

void CMicom::SetReverseGear(bool on)
{
    if (((Status() & static_cast<DWORD>(MicomStatusBit::RearCamera)) != 0) == on)
        return;
    SetStatusBit(MicomStatusBit::RearCamera, on);
    Notify(MicomNotice::BackGearStatus, on ? 1 : 0);
}

void CMicom::KeyDown(MicomKey key)
{
    Notify(MicomNotice::Key, static_cast<DWORD>(key) << 16 | static_cast<DWORD>(MicomKeyState::Down));
}

void CMicom::KeyUp(MicomKey key)
{
    Notify(MicomNotice::Key, static_cast<DWORD>(key) << 16 | static_cast<DWORD>(MicomKeyState::Up));
}

void CMicom::Encoder(bool up)
{
    Notify(MicomNotice::Key,
           static_cast<DWORD>(MicomKey::RightEncoder) << 16
               | static_cast<DWORD>(up ? MicomKeyState::EncoderUp : MicomKeyState::EncoderDown));
}

void CMicom::TiltMoveEnd(DWORD position)
{
    Notify(MicomNotice::TiltMoveEnd, position);
}

void CMicom::Notify(MicomNotice notice, DWORD value)
{
    Post(kMicomMessageName, static_cast<DWORD>(notice), value);
}

DWORD CMicom::Status() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_status;
}

CMicom::Block0 CMicom::StoredBlock0() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_block0;
}

CMicom::TextBlock CMicom::StoredTextBlock() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_text;
}

void CMicom::PutBlock0(const Block0& block)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_block0 = block;
    SaveState();
}

int CMicom::Backlight() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_backlight;
}

int CMicom::AmpMute() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_ampMute;
}

int CMicom::Setting() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_setting;
}

int CMicom::IntroSound() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_intro;
}

std::array<BYTE, 2> CMicom::State2() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_state2;
}

int CMicom::Alives() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_alives;
}

int CMicom::Inits() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_inits;
}

int CMicom::RtcSets() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_rtcSets;
}

} // namespace sim
