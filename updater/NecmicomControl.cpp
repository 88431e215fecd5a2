#include "updater/NecmicomControl.h"

#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/base/Handle.h"
#include "platform/io/Io.h"
#include "platform/io/MicomDriver.h"
#include "platform/io/RawDisk.h"
#include "updater/FileHelpers.h"
#include "updater/MicomFile.h"

#include <cstring>
#include <vector>

namespace {

constexpr const WCHAR* kSource = u"MICOM\\NecmicomControl";
// Lines sent between two progress lines.
constexpr int kProgressEvery = 100;

void LogError(int line, LPCWSTR what)
{
    const DWORD error = GetLastError();
    NKDbgPrintfW(u"ERROR: %s line %d: ", kSource, line);
    NKDbgPrintfW(u"CNEC: %s %d\r\n", what, error);
    SetLastError(error);
}

} // namespace

CNEC::~CNEC()
{
    Close();
}

BOOL CNEC::Control(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, int line, LPCWSTR what)
{
    DWORD returned = 0;
    if (DeviceIoControl(m_hDevice, code, const_cast<BYTE*>(in), inSize, out, outSize, &returned, nullptr))
        return TRUE;
    LogError(line, what);
    return FALSE;
}

HANDLE CNEC::Open(HWND window)
{
    Close();
    m_hDevice = CreateFileW(u"NEC1:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    if (m_hDevice == INVALID_HANDLE_VALUE) {
        LogError(__LINE__, u"CreateFile");
        return nullptr;
    }
    BYTE in[sizeof(HWND)];
    std::memcpy(in, &window, sizeof(HWND));
    BYTE out[4] = {};
    if (!Control(static_cast<DWORD>(MicomIoctl::RegisterWindow), in, sizeof(in), out, sizeof(out), __LINE__,
                 u"DeviceIoControl")) {
        CloseHandle(m_hDevice);
        m_hDevice = INVALID_HANDLE_VALUE;
        return nullptr;
    }
    m_version = platform::GetRawWord(out);
    NKDbgPrintfW(u"CNEC: Necmicom D/D Version [0x%x]\r\n", m_version);
    return m_hDevice;
}

void CNEC::Close()
{
    if (m_hDevice == INVALID_HANDLE_VALUE)
        return;
    const HWND none = nullptr;
    BYTE in[sizeof(HWND)];
    std::memcpy(in, &none, sizeof(HWND));
    BYTE out[4] = {};
    Control(static_cast<DWORD>(MicomIoctl::RegisterWindow), in, sizeof(in), out, sizeof(out), __LINE__,
            u"DeviceIoControl");
    CloseHandle(m_hDevice);
    m_hDevice = INVALID_HANDLE_VALUE;
}

BOOL CNEC::NecmicomUpgradeStart()
{
    return Control(static_cast<DWORD>(MicomIoctl::UpgradeStart), nullptr, 0, nullptr, 0, __LINE__,
                   u"NecmicomUpgradeStart");
}

BOOL CNEC::NecmicomUpgradeEnd()
{
    return Control(static_cast<DWORD>(MicomIoctl::UpgradeEnd), nullptr, 0, nullptr, 0, __LINE__, u"NecmicomUpgradeEnd");
}

BOOL CNEC::NecmicomUpgrade(const BYTE* line, DWORD length)
{
    BYTE answer[2] = {};
    return Control(static_cast<DWORD>(MicomIoctl::Upgrade), line, length, answer, sizeof(answer), __LINE__,
                   u"NecmicomUpgrade");
}

BOOL CNEC::NecmicomReset(DWORD value)
{
    BYTE in[4];
    platform::PutRawWord(in, value);
    return Control(static_cast<DWORD>(MicomIoctl::Reset), value != 0 ? in : nullptr, value != 0 ? 4 : 0, nullptr, 0,
                   __LINE__, u"NecmicomReset");
}

int CNEC::UpgradeFromFile(LPCWSTR path, DWORD waitMs)
{
    std::vector<BYTE> file;
    if (const int result = updater::ReadFirmwareFile(path, u"CNEC", &file); result != 0)
        return result;
    const DWORD size = static_cast<DWORD>(file.size());

    // Nothing the micom could not take to its end is started.
    const MicomFileFault fault = updater::CheckMicomRecords(file.data(), file.size());
    if (fault != MicomFileFault::None) {
        NKDbgPrintfW(u"CNEC: Necmicom Upgrade file refused (%d)\r\n", static_cast<int>(fault));
        return fault == MicomFileFault::LineTooLong ? kMicomLineTooLong : kMicomFileRefused;
    }

    if (!NecmicomUpgradeStart()) {
        const int result = static_cast<int>(updater::FailureCode());
        NKDbgPrintfW(u"CNEC: NecmicomUpgradeStart FALSE %d\r\n", result);
        return result;
    }

    bool written = false;
    int passes = 0;
    while (passes < kMaxPasses && !written) {
        BYTE line[updater::kMicomLineLimit] = {};
        DWORD length = 0;
        int sent = 0;
        bool failed = false;
        for (DWORD i = 0; i < size && !failed && !written; ++i) {
            const BYTE c = file[i];
            if (c != '\r' && c != '\n') {
                line[length++] = c;
                if (length >= updater::kMicomLineLimit)
                    return kMicomLineTooLong;
                continue;
            }
            if (length == 0)
                continue;
            if (!NecmicomUpgrade(line, length)) {
                NKDbgPrintfW(u"CNEC: NecmicomUpgradeData Error(%d)\r\n", GetLastError());
                failed = true;
                break;
            }
            if (sent % kProgressEvery == 0)
                NKDbgPrintfW(u"CNEC: UPGRADE %d\r\n", static_cast<int>(std::uint64_t(i + 1) * 100 / size));
            ++sent;
            if (length >= 2 && line[0] == 'S' && line[1] == '7') {
                NKDbgPrintfW(u"CNEC: Necmicom Upgrade file write OK %d\r\n", passes);
                written = true;
            }
            length = 0;
        }
        if (!written)
            passes += failed ? 2 : 1;
    }

    if (!written) {
        NKDbgPrintfW(u"CNEC: Necmicom Upgrade FASLE %d\r\n", passes);
        return kMicomDownloadFailed;
    }
    NKDbgPrintfW(u"CNEC: Necmicom Upgrade TRUE %d\r\n", passes);
    Sleep(waitMs);
    if (!NecmicomUpgradeEnd()) {
        const int result = static_cast<int>(updater::FailureCode());
        NKDbgPrintfW(u"CNEC: NecmicomUpgradeEnd Error(%d)\r\n", result);
        return result;
    }
    return 0;
}
