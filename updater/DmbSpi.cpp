#include "updater/DmbSpi.h"

#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/base/Handle.h"
#include "platform/io/Io.h"
#include "platform/io/RawDisk.h"

#include <algorithm>
#include <vector>

namespace {

constexpr DWORD kLoaderRunning = 0xF0000000;
constexpr DWORD kImageWriteExtra = 28; // the write's response is 32 bytes

void LogFailedStep(int line)
{
    NKDbgPrintfW(u"ERROR: %s line %d: ", u"MainWindow", line);
    NKDbgPrintfW(u"<<< UPDATE >>> IOCTL_VELL_DMB_UPGRADE Failed...\r\n");
}

} // namespace

CDmbSpi::~CDmbSpi()
{
    CloseDmbSpi();
}

BOOL CDmbSpi::OpenDmbSpi()
{
    CloseDmbSpi();
    m_hDmb = CreateFileW(u"DMB1:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    return m_hDmb != INVALID_HANDLE_VALUE;
}

void CDmbSpi::CloseDmbSpi()
{
    if (m_hDmb != INVALID_HANDLE_VALUE)
        CloseHandle(m_hDmb);
    m_hDmb = INVALID_HANDLE_VALUE;
}

BOOL CDmbSpi::WriteFrame(const DWORD* words, DWORD count)
{
    std::vector<BYTE> bytes(4 * count);
    for (DWORD i = 0; i < count; ++i)
        platform::PutRawWord(bytes.data() + 4 * i, words[i]);
    DWORD written = 0;
    return WriteFile(m_hDmb, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
        && written == bytes.size();
}

BOOL CDmbSpi::DmbSpiSendCommand(DmbFrameType type, DmbCommand id, WORD count, const DWORD* payload)
{
    ++m_counter;
    m_lastId = static_cast<BYTE>(id);
    std::vector<DWORD> frame(1 + count);
    frame[0] = DmbFrameWord{static_cast<BYTE>(type), static_cast<BYTE>(m_counter & 0x0F), m_lastId, count}.ToWord();
    std::copy_n(payload, count, frame.begin() + 1);
    NKDbgPrintfW(u"[DMBSPI] : WriteBuf 0[0x%x]  ", frame[0]);
    WriteFrame(frame.data(), static_cast<DWORD>(frame.size()));
    return TRUE;
}

BOOL CDmbSpi::ReadWords(DWORD* buffer, DWORD extra)
{
    const DWORD size = 4 + extra;
    std::vector<BYTE> bytes(size, 0);
    DWORD read = 0;
    if (!ReadFile(m_hDmb, bytes.data(), size, &read, nullptr) || read != size)
        return FALSE;
    for (DWORD i = 0; i < size / 4; ++i)
        buffer[i] = platform::GetRawWord(bytes.data() + 4 * i);
    return TRUE;
}

BOOL CDmbSpi::DmbSpiReadResponse(DWORD* buffer, DWORD extra)
{
    if (!ReadWords(buffer, extra)) {
        NKDbgPrintfW(u"[DMBSPI] : GetResponse Fail\r\n");
        return FALSE;
    }
    if (m_lastId != static_cast<BYTE>(DmbCommand::ImageData)) {
        NKDbgPrintfW(u"[DMBSPI] : ReadBuf 0[0x%x]\r\n", buffer[0]);
        if (extra != 0)
            NKDbgPrintfW(u"[DMBSPI] : ReadBuf 1[0x%x]\r\n", buffer[1]);
    }
    Sleep(1);
    return TRUE;
}

BOOL CDmbSpi::DmbSpiReadAck(DWORD* buffer, DWORD extra)
{
    return ReadWords(buffer, extra);
}

BOOL CDmbSpi::DmbSpiCheckResponse(const DWORD* buffer, DmbFrameType type)
{
    const DmbFrameWord word = DmbFrameWord::FromWord(buffer[0]);
    if (word.sequence != (m_counter & 0x0F)) {
        NKDbgPrintfW(u"CMDCNT_MASK error. \r\n");
        return FALSE;
    }
    if (word.id != m_lastId) {
        NKDbgPrintfW(u"CMDID_MASK error. \r\n");
        return FALSE;
    }
    if (word.type != static_cast<BYTE>(type)) {
        NKDbgPrintfW(u"CMDTYPE_MASK error. \r\n");
        return FALSE;
    }
    return TRUE;
}

int CDmbSpi::DmbSpiSendDataBlock(HANDLE file)
{
    BYTE bytes[kDmbDataBytes] = {};
    DWORD got = 0;
    DWORD read = 0;
    while (got < kDmbDataBytes) {
        if (!ReadFile(file, bytes + got, kDmbDataBytes - got, &read, nullptr))
            return -1;
        if (read == 0)
            break;
        got += read;
    }
    const int words = static_cast<int>(got / 4);
    if (words == 0)
        return 0;
    if (words < static_cast<int>(kDmbDataWords))
        NKDbgPrintfW(u"!%d!", 3);
    // The words past the image stay zero.
    DWORD data[kDmbDataWords] = {};
    for (int i = 0; i < words; ++i)
        data[i] = platform::GetRawWord(bytes + 4 * i);
    ++m_counter;
    m_lastId = static_cast<BYTE>(DmbCommand::ImageData);
    m_frame[0] = DmbFrameWord{static_cast<BYTE>(DmbFrameType::Command), static_cast<BYTE>(m_counter & 0x0F), m_lastId,
                              static_cast<WORD>(kDmbDataWords + 1)}
                     .ToWord();
    std::copy_n(data, kDmbDataWords, m_frame + 1);
    m_frame[1 + kDmbDataWords] = DmbDataChecksum(data);
    if (!WriteFrame(m_frame, 2 + kDmbDataWords))
        return -1;
    return words;
}

BOOL CDmbSpi::DmbSpiResend()
{
    return WriteFrame(m_frame, 2 + kDmbDataWords);
}

bool CDmbSpi::Ask(DmbCommand id, WORD count, const DWORD* payload, DWORD waitMs, DWORD* response, DWORD extra,
                  bool* readFailed)
{
    DmbSpiSendCommand(DmbFrameType::Command, id, count, payload);
    Sleep(waitMs);
    *readFailed = !DmbSpiReadResponse(response, extra);
    return !*readFailed && DmbSpiCheckResponse(response, DmbFrameType::Response);
}

BOOL CDmbSpi::DmbRebootModule()
{
    DWORD response[2] = {};
    bool readFailed = false;
    for (int attempt = 0; attempt <= kRebootTries; ++attempt) {
        if (attempt > 0)
            Sleep(100);
        if (Ask(DmbCommand::Reboot, 0, nullptr, attempt == 0 ? 100 : 0, response, 4, &readFailed)) {
            if (response[1] >= kLoaderRunning)
                NKDbgPrintfW(u"[DMBSPI] : Completed Reboot Merrow\r\n");
            return TRUE;
        }
    }
    return FALSE;
}

DWORD CDmbSpi::GetDmbImageSize(HANDLE file)
{
    const DWORD size = SetFilePointer(file, 0, nullptr, FILE_END);
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    NKDbgPrintfW(u"Total FileSize = 0x%x", size);
    return size == INVALID_SET_FILE_POINTER ? 0 : size;
}

BOOL CDmbSpi::UpdateFirmware(LPCWSTR path, DWORD size)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    const DWORD start = GetTickCount();
    NKDbgPrintfW(u"[DMBSPI] : UpdateFirmware - Start Update Firmware, %d\r\n", start);
    Sleep(10);

    m_resends = 0;
    DWORD sent = 0;
    DWORD percent = 0;
    int words = 0;
    while (sent < size) {
        words = DmbSpiSendDataBlock(file);
        if (words <= 0) {
            // A failed read, or the file ended before the size announced.
            NKDbgPrintfW(u"\r\n[DMBSPI] : image read failed at %d Bytes\r\n", sent);
            CloseHandle(file);
            return FALSE;
        }
        DWORD ack = 0;
        if (!DmbSpiReadAck(&ack, 0) || !DmbSpiCheckResponse(&ack, DmbFrameType::Response)) {
            NKDbgPrintfW(u"D2");
            NKDbgPrintfW(u"\r\n Error Case \r\n");
            for (;;) {
                NKDbgPrintfW(u"r");
                if (m_resends >= kMaxResends) {
                    NKDbgPrintfW(u"\r\n[DMBSPI] : too many resends %d\r\n", m_resends);
                    CloseHandle(file);
                    return FALSE;
                }
                Sleep(5);
                DmbSpiResend();
                ++m_resends;
                if (DmbSpiReadAck(&ack, 0) && DmbSpiCheckResponse(&ack, DmbFrameType::Response))
                    break;
            }
            NKDbgPrintfW(u"B\r\n");
            Sleep(2);
        }
        sent += 4 * static_cast<DWORD>(words);
        for (; percent < std::uint64_t(sent) * 100 / size; ++percent)
            NKDbgPrintfW(u".");
        if (words < static_cast<int>(kDmbDataWords))
            break;
    }
    NKDbgPrintfW(u"D!");
    NKDbgPrintfW(words < static_cast<int>(kDmbDataWords) ? u"\r\nCompleted! SendSize = %d Bytes\r\n"
                                                         : u"\r\nCompleted. SendSize = %d Bytes\r\n",
                 sent);
    CloseHandle(file);
    NKDbgPrintfW(u"Completed Download Firmware. Retransmit Count : %d\r\n", m_resends);
    NKDbgPrintfW(u"Completed Download Firmware. DownloadTime : %d\r\n", GetTickCount() - start);
    Sleep(1000);

    DWORD response[1 + kImageWriteExtra / 4] = {};
    bool readFailed = false;
    bool checked = false;
    for (int attempt = 0; attempt < kImageCheckTries && !checked; ++attempt) {
        if (attempt > 0)
            Sleep(2000);
        checked = Ask(DmbCommand::ImageCheck, 0, nullptr, 100, response, 0, &readFailed);
        if (readFailed) {
            NKDbgPrintfW(u"Error! Merrow is not Response... \r\n");
            return FALSE;
        }
    }
    // An image the module did not find good is never written.
    if (!checked) {
        NKDbgPrintfW(u"Error! Download Image is not ok... \r\n");
        return FALSE;
    }
    NKDbgPrintfW(u"Download Image is ok! \r\n");

    Sleep(40000);
    NKDbgPrintfW(u"!!!!!! \r\n");
    for (int attempt = 0; attempt < kImageWriteTries; ++attempt) {
        Sleep(10000);
        const bool good = Ask(DmbCommand::ImageWrite, 0, nullptr, 1, response, kImageWriteExtra, &readFailed);
        if (readFailed) {
            NKDbgPrintfW(u"Error! Merrow is not Response... \r\n");
            return FALSE;
        }
        Sleep(1);
        if (good) {
            NKDbgPrintfW(u"Write Image is ok! \r\n");
            return TRUE;
        }
    }
    NKDbgPrintfW(u"Error! Downlaod file is not Merrow Firmware... \r\n");
    return FALSE;
}

BOOL CDmbSpi::Download(LPCWSTR path)
{
    const DWORD start = GetTickCount();
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const DWORD size = file != INVALID_HANDLE_VALUE ? GetDmbImageSize(file) : 0;
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (size == 0) {
        NKDbgPrintfW(u"[DMBSPI] : FileSize is Zero\r\n");
        return FALSE;
    }
    // The loader takes whole words: a byte that would not be sent is not
    // dropped silently.
    if (size % 4 != 0) {
        NKDbgPrintfW(u"[DMBSPI] : FileSize is not a multiple of 4 [%d]\r\n", size);
        return FALSE;
    }
    if (!OpenDmbSpi()) {
        NKDbgPrintfW(u"DMB Drv Open Fail. \r\n");
        return FALSE;
    }
    NKDbgPrintfW(u"Check Upgrade Ready  \r\n");
    DWORD returned = 0;
    if (!DeviceIoControl(m_hDmb, static_cast<DWORD>(DmbIoctl::UpgradeReady), nullptr, 0, nullptr, 0, &returned,
                         nullptr)) {
        NKDbgPrintfW(u"Upgrade Ready Fail. \r\n");
        CloseDmbSpi();
        return FALSE;
    }
    NKDbgPrintfW(u"Check Boot . \r\n");
    if (!DmbRebootModule()) {
        NKDbgPrintfW(u"Check Boot Fail. \r\n");
        CloseDmbSpi();
        return FALSE;
    }

    bool booted = false;
    DWORD response[1] = {};
    bool readFailed = false;
    for (int attempt = 0; attempt < kBootCheckTries && !booted; ++attempt) {
        Sleep(10);
        booted = Ask(DmbCommand::BootCheck, 1, &size, 0, response, 0, &readFailed);
    }
    if (!booted) {
        NKDbgPrintfW(u"[DMBSPI] : Response. Time Out! \r\n");
        LogFailedStep(__LINE__);
        CloseDmbSpi();
        return FALSE;
    }

    const BOOL ok = UpdateFirmware(path, size);
    CloseDmbSpi();
    if (!ok) {
        NKDbgPrintfW(u"[DMBSPI] : Fail! update file. \r\n");
        LogFailedStep(__LINE__);
        return FALSE;
    }
    NKDbgPrintfW(u"[DMBSPI] : OK! update file. \r\n");
    NKDbgPrintfW(u"[DMBSPI] : Total Time = %d\n", (GetTickCount() - start) / 1000);
    return TRUE;
}
