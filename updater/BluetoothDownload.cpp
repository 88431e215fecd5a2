#include "updater/BluetoothDownload.h"

#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/io/Io.h"
#include "platform/io/Serial.h"
#include "platform/os/Sync.h"
#include "platform/os/Thread.h"
#include "updater/DfuFile.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr BYTE kWakeUp[] = {0x01, 0xCD, 0xFF, 0xCD, 0x01, 0x7A};
constexpr BYTE kReadyAnswer[] = {0xCD, 0x02, 0xD4, 0x00};
constexpr BYTE kStatusAnswer[] = {0x04, 0x0F, 0x04, 0x00};
constexpr BYTE kWakeAnswerTag[] = {0xE0, 0x7A};
constexpr DWORD kWakeReadSize = 128;

bool Matches(const BYTE* data, const BYTE (&pattern)[4])
{
    return std::memcmp(data, pattern, sizeof pattern) == 0;
}

} // namespace

BOOL DfuDownload(LPCWSTR path, DWORD timeoutMs)
{
    CBtDfuDownload download(timeoutMs);
    return download.DfuDownload(path);
}

CBtDfuDownload::CBtDfuDownload(DWORD timeoutMs)
    : m_timeoutMs(timeoutMs),
      m_link([this](const BYTE* data, std::size_t size) { return WriteComm(data, static_cast<DWORD>(size)) != FALSE; },
             [this](bool even) { return ComPort_Parity_Set(even) != FALSE; })
{
}

CBtDfuDownload::~CBtDfuDownload()
{
    ReleaseDfuFile();
}

BOOL CBtDfuDownload::DfuDownload(LPCWSTR path)
{
    const std::uint64_t start = platform::NowMs();
    const std::uint64_t deadline = start + m_timeoutMs;
    BOOL ok = ReadDfuFile(path) && VerifyDfuFile() && OpenDfuComPort();
    if (ok) {
        NKDbgPrintfW(u"\nDFU Download Start!!! \n");
        {
            std::lock_guard guard(m_lock);
            m_link.Start(m_file.data(), m_file.size() - dfu::kSuffixSize);
        }
        ok = WaitForEnd(deadline);
        if (ok) {
            NKDbgPrintfW(u"\nDFU Download Complete!!!   %d \n", static_cast<int>(platform::NowMs() - start));
        } else {
            switch (m_error) {
            case DfuLinkError::H4Connection:
                NKDbgPrintfW(u"\nDFU H4 Connection Error\n");
                break;
            case DfuLinkError::BcspSync:
                NKDbgPrintfW(u"\nDFU BCSP Sync Error\n");
                break;
            case DfuLinkError::BcspConnection:
                NKDbgPrintfW(u"\nDFU BCSP Connection Error\n");
                break;
            case DfuLinkError::DfuRefused:
            case DfuLinkError::None:
                NKDbgPrintfW(u"\nDFU Download Error\n");
                break;
            }
        }
    }
    ReleaseDfuFile();
    return ok;
}

BOOL CBtDfuDownload::WaitForEnd(std::uint64_t deadline)
{
    std::size_t reported = 0;
    for (;;) {
        {
            std::lock_guard guard(m_lock);
            // Progress, and the final count once the link has stopped: a
            // download may finish between two looks.
            if ((m_link.Downloading() || m_link.Stopped()) && m_link.BytesSent() > reported) {
                reported = m_link.BytesSent();
                NKDbgPrintfW(u"\n\r  <<< Firmware Total Size = 0x%x, Downloaded Size = 0x%x  >>>\n\r",
                             static_cast<DWORD>(m_link.ImageSize()), static_cast<DWORD>(reported));
            }
            if (m_link.Stopped())
                break;
            if (platform::NowMs() >= deadline) {
                NKDbgPrintfW(u"\nDFU Download Timeout (%d ms)\n", static_cast<int>(m_timeoutMs));
                m_link.TimeOut();
                break;
            }
            m_link.Poll();
        }
        Sleep(kWaitStepMs);
    }
    std::lock_guard guard(m_lock);
    m_error = m_link.Error();
    m_droppedFrames = m_link.DroppedFrames();
    m_retransmissions = m_link.Retransmissions();
    return m_link.Complete();
}

// ---- the file ----

BOOL CBtDfuDownload::ReadDfuFile(LPCWSTR path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        NKDbgPrintfW(u"ERROR: Can not open the file\n");
        return FALSE;
    }
    const DWORD size = SetFilePointer(file, 0, nullptr, FILE_END);
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    if (size == 0 || size == INVALID_SET_FILE_POINTER) {
        NKDbgPrintfW(u"ERROR: Invalid DFU file\n");
        CloseHandle(file);
        return FALSE;
    }
    NKDbgPrintfW(u"Reading DFU file %s ...\n", path);
    if (size > kMaxFileSize) {
        NKDbgPrintfW(u"ERROR: Can not allocate memory\n");
        CloseHandle(file);
        return FALSE;
    }
    m_file.assign(size, 0);
    DWORD read = 0;
    const BOOL ok = ReadFile(file, m_file.data(), size, &read, nullptr) && read == size;
    CloseHandle(file);
    if (!ok) {
        NKDbgPrintfW(u"ERROR: Can not open the file\n");
        m_file.clear();
        return FALSE;
    }
    m_fileRead = true;
    NKDbgPrintfW(u"File has been read sucessfully.\n\n");
    return TRUE;
}

BOOL CBtDfuDownload::VerifyDfuFile()
{
    // The suffix and at least one byte of image.
    if (m_file.size() <= dfu::kSuffixSize) {
        NKDbgPrintfW(u"ERROR: Invalid DFU file\n");
        return FALSE;
    }
    const dfu::Suffix suffix = dfu::ReadSuffix(m_file.data(), m_file.size());
    NKDbgPrintfW(u"Debugging DFU suffix:\n");
    NKDbgPrintfW(u"bcdDevice........0x%04x\n", suffix.bcdDevice);
    NKDbgPrintfW(u"idProduct........0x%04x\n", suffix.idProduct);
    NKDbgPrintfW(u"idVendor.........0x%04x\n", suffix.idVendor);
    NKDbgPrintfW(u"bcdDFU...........0x%04x\n", suffix.bcdDFU);
    NKDbgPrintfW(u"ucDfuSignature...0x%06x\n", suffix.ucDfuSignature);
    NKDbgPrintfW(u"bLength..........0x%02x\n", suffix.bLength);
    NKDbgPrintfW(u"dwCRC............0x%08x\n", suffix.dwCRC);
    if (suffix.ucDfuSignature != dfu::kSignature || suffix.bLength != dfu::kSuffixSize) {
        NKDbgPrintfW(u"ERROR: Invalid DFU suffix\n");
        return FALSE;
    }
    NKDbgPrintfW(u"Calculating DFU file CRC...\n");
    const DWORD crc = dfu::Crc32(0xFFFFFFFFu, m_file.data(), m_file.size() - 4);
    NKDbgPrintfW(u"CRC..............0x%08x\n", crc);
    if (crc != suffix.dwCRC) {
        NKDbgPrintfW(u"ERROR: CRC-32 Fail\n");
        return FALSE;
    }
    NKDbgPrintfW(u"CRC match, DFU file is good!\n");
    return TRUE;
}

void CBtDfuDownload::ReleaseDfuFile()
{
    if (m_thread) {
        m_running = false;
        SetCommMask(m_port, 0); // ends the receive thread's wait
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
    CloseComPort();
    m_file.clear();
    m_file.shrink_to_fit();
    m_fileRead = false;
}

// ---- the port ----

BOOL CBtDfuDownload::OpenDfuComPort()
{
    const auto fail = [this] {
        NKDbgPrintfW(u"ERROR: Fail Port ofen\n");
        CloseComPort();
        return FALSE;
    };
    m_port = CreateFileW(u"COM3:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (m_port == INVALID_HANDLE_VALUE) {
        m_port = nullptr;
        return fail();
    }
    SetCommMask(m_port, EV_RXCHAR);
    SetupComm(m_port, kQueueSize, kQueueSize);
    PurgeComm(m_port, PURGE_TXCLEAR | PURGE_RXCLEAR);
    const COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0}; // reads return at once with what is there
    SetCommTimeouts(m_port, &timeouts);
    DCB dcb{};
    GetCommState(m_port, &dcb);
    dcb.BaudRate = kBaudRate;
    dcb.ByteSize = 8;
    dcb.StopBits = ONESTOPBIT;
    dcb.Parity = NOPARITY;
    dcb.fParity = 0;
    dcb.fBinary = 1;
    if (!SetCommState(m_port, &dcb))
        return fail();
    m_running = true; // the port takes writes from here on
    const std::uint64_t deadline = platform::NowMs() + m_timeoutMs;
    if (!WakeUp(deadline)) {
        m_running = false;
        return fail();
    }
    // Whatever else the module said while it woke up is not part of the
    // link.
    PurgeComm(m_port, PURGE_RXCLEAR);
    m_thread = CreateThread(nullptr, 0, ThreadWatchComm, this, 0, nullptr);
    if (!m_thread) {
        m_running = false;
        return fail();
    }
    return TRUE;
}

BOOL CBtDfuDownload::WakeUp(std::uint64_t deadline)
{
    const auto sendWakeUp = [this] {
        if (!WriteComm(kWakeUp, sizeof kWakeUp))
            NKDbgPrintfW(u" <<<<<<<<<<<<< SEND FAIL  >>>>>>>>>>>>>>>>>>>\n");
        Sleep(kWakeUpWaitMs);
    };
    sendWakeUp();
    BYTE answer[kWakeReadSize];
    for (int tries = 1; tries <= kWakeUpTries && platform::NowMs() < deadline; ++tries) {
        const DWORD got = ReadComm(answer, sizeof answer);
        if (got >= 4 && Matches(answer, kReadyAnswer)) {
            NKDbgPrintfW(u" <<<<<<<<<<<<< RES CD02D400  >>>>>>>>>>>>>>>>>>>\n");
            return TRUE;
        }
        if (got >= 4 && std::memcmp(answer + 2, kWakeAnswerTag, sizeof kWakeAnswerTag) == 0) {
            NKDbgPrintfW(u" <<<<<<<<<<<<< RES E07A  %d %x %x>>>>>>>>>>>>>>>>>>>\n", static_cast<int>(got), answer[0],
                         answer[1]);
            if (got >= 8 && Matches(answer + 4, kReadyAnswer)) {
                NKDbgPrintfW(u" <<<<<<<<<<<<< RES CD02D400  >>>>>>>>>>>>>>>>>>>\n");
                return TRUE;
            }
            if (got >= 8 && Matches(answer + 4, kStatusAnswer)) {
                NKDbgPrintfW(u" <<<<<<<<<<<<< RES 040F0400  >>>>>>>>>>>>>>>>>>>\n");
                return TRUE;
            }
            return AwaitIndication(deadline);
        }
        Sleep(kWakeUpPollMs);
        if (tries % 100 == 0)
            sendWakeUp();
    }
    NKDbgPrintfW(u" <<<<<<<<<<<<< RES FAIL  >>>>>>>>>>>>>>>>>>>\n");
    return FALSE;
}

BOOL CBtDfuDownload::AwaitIndication(std::uint64_t deadline)
{
    BYTE answer[kWakeReadSize];
    for (int tries = 0; tries < kWakeUpTries && platform::NowMs() < deadline; ++tries) {
        Sleep(kWakeUpPollMs);
        const DWORD got = ReadComm(answer, sizeof answer);
        if (got >= 4 && Matches(answer, kReadyAnswer)) {
            NKDbgPrintfW(u" <<<<<<<<<<<<< IND CD02D400  >>>>>>>>>>>>>>>>>>>\n");
            return TRUE;
        }
        if (got >= 4 && Matches(answer, kStatusAnswer)) {
            NKDbgPrintfW(u" <<<<<<<<<<<<< IND 040F0400  >>>>>>>>>>>>>>>>>>>\n");
            return TRUE;
        }
    }
    NKDbgPrintfW(u" <<<<<<<<<<<<< IND FAIL  >>>>>>>>>>>>>>>>>>>\n");
    return FALSE;
}

void CBtDfuDownload::CloseComPort()
{
    if (!m_port)
        return;
    SetCommMask(m_port, 0);
    PurgeComm(m_port, PURGE_TXCLEAR | PURGE_RXCLEAR);
    CloseHandle(m_port);
    m_port = nullptr;
}

BOOL CBtDfuDownload::WriteComm(const BYTE* data, DWORD size)
{
    if (!m_running)
        return FALSE;
    std::lock_guard busy(m_busy);
    DWORD written = 0;
    if (!WriteFile(m_port, data, size, &written, nullptr) || written != size) {
        NKDbgPrintfW(u"!!! WriteFile Fail \n\r ");
        return FALSE;
    }
    return TRUE;
}

DWORD CBtDfuDownload::ReadComm(BYTE* buffer, DWORD max)
{
    std::lock_guard busy(m_busy);
    COMSTAT stat{};
    DWORD errors = 0;
    ClearCommError(m_port, &errors, &stat);
    if (stat.cbInQue == 0) {
        NKDbgPrintfW(u"\n\r READ Length is 0 \n\r ");
        return 0;
    }
    DWORD read = 0;
    if (!ReadFile(m_port, buffer, std::min(max, stat.cbInQue), &read, nullptr)) {
        NKDbgPrintfW(u"!!! ReadFile Fail \n\r ");
        return 0;
    }
    return read;
}

BOOL CBtDfuDownload::ComPort_Parity_Set(BOOL on)
{
    NKDbgPrintfW(u"ComPort_Parity_Set  %d\n\r\n", on);
    DCB dcb{};
    if (!GetCommState(m_port, &dcb))
        return FALSE;
    dcb.Parity = on ? EVENPARITY : NOPARITY;
    dcb.fParity = on ? 1 : 0;
    return SetCommState(m_port, &dcb);
}

// ---- the receive thread ----

DWORD CBtDfuDownload::ThreadWatchComm(LPVOID self)
{
    static_cast<CBtDfuDownload*>(self)->WatchComm();
    return 0;
}

void CBtDfuDownload::WatchComm()
{
    if (!SetCommMask(m_port, EV_RXCHAR)) {
        NKDbgPrintfW(u"Error while creating ThreadWatchComm \n");
        std::lock_guard guard(m_lock);
        m_link.TimeOut();
        return;
    }
    std::vector<BYTE> buffer(kReadChunk);
    while (m_running) {
        DWORD event = 0;
        if (WaitCommEvent(m_port, &event, nullptr) && (event & EV_RXCHAR)) {
            const DWORD got = ReadComm(buffer.data(), kReadChunk);
            if (got) {
                std::lock_guard guard(m_lock);
                m_link.DispatchReceivedData(buffer.data(), got);
            }
        }
        Sleep(1);
    }
}
