#include "updater/CloseRunningPrograms.h"

#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/gfx/Gdi.h"
#include "platform/ui/Window.h"
#include "updater/ProcessList.h"

namespace {

struct Program {
    const WCHAR* exe;
    const WCHAR* windowClass; // null: any
    const WCHAR* windowTitle;
    const WCHAR* tag;    // in the log lines
    bool retryLineBlank; // the retry line of "Wren" has no blank before its line end
};

constexpr Program kLumo{u"Lumo_DMU.exe", nullptr, u"Lumo", u"Lumo", true};
constexpr Program kVoice{u"VoiceControllerU.exe", nullptr, u"VoiceController", u"VC", true};
constexpr Program kTide{u"TIDEHOST.exe", nullptr, u"TIDEHOST", u"TIDEHOST", true};
constexpr Program kWren{u"Wren.exe", u"PLAYER", u"PLAYER", u"Wren", false};

constexpr DWORD kAskedGraceMs = 2000;
constexpr DWORD kWaitLimitMs = 10001;
constexpr DWORD kLookAgainMs = 250;
constexpr int kMaxFailedKills = 3;

void AskToClose(const Program& program)
{
    if (!CProcessList::FindProcess(program.exe))
        return;
    if (HWND window = FindWindowW(program.windowClass, program.windowTitle))
        PostMessageW(window, WM_DESTROY, 0, 0);
}

void WaitOrTerminate(const Program& program)
{
    const DWORD start = GetTickCount();
    int failed = 0;
    for (;;) {
        NKDbgPrintfW(u"TimeTick %d (KILL %s)\r\n", static_cast<int>(GetTickCount() - start), program.tag);
        if (!CProcessList::FindProcess(program.exe))
            return;
        if (GetTickCount() - start < kWaitLimitMs) {
            Sleep(kLookAgainMs);
            continue;
        }
        if (CProcessList::KillProcess(program.exe)) {
            NKDbgPrintfW(u"Updater : Timeout (KILL %s)\r\n", program.tag);
            return;
        }
        if (failed >= kMaxFailedKills) {
            NKDbgPrintfW(program.retryLineBlank ? u"Updater : Retry OverCount  (KILL %s) \r\n"
                                                : u"Updater : Retry OverCount  (KILL %s)\r\n",
                         program.tag);
            return;
        }
        NKDbgPrintfW(u"Updater : KillProcess Fail  [Error :0x%x] (KILL %s) \r\n", GetLastError(), program.tag);
        ++failed;
        Sleep(kLookAgainMs);
    }
}

} // namespace

bool CloseRunningPrograms()
{
    for (const Program* program : {&kLumo, &kVoice, &kTide, &kWren})
        AskToClose(*program);
    Sleep(kAskedGraceMs);
    CProcessList::KillProcess(u"Explorer.exe");
    for (const Program* program : {&kTide, &kLumo, &kVoice, &kWren})
        WaitOrTerminate(*program);
    if (RemoveFontResourceW(u"\\NAND\\Wren\\Corvan_AVN.ttf")) {
        NKDbgPrintfW(u"Corvan Font remove Success \n\r");
        return true;
    }
    NKDbgPrintfW(u"Corvan Font Already removed \n\r");
    return false;
}
