// The windows of another process: a handle found through the unit's control
// socket, the requests that reach it, and the commands this process answers
// when it owns the unit.
#include "platform/ui/Window.h"

#include "platform/base/Debug.h"
#include "platform/base/Text.h"
#include "platform/ui/WindowInternal.h"
#include "platform/unit/Unit.h"

namespace platform::wm {

// Remote windows: requests to the process that owns the unit.
HWND MakeRemote(std::uintptr_t value)
{
    return value ? reinterpret_cast<HWND>(value | kRemoteBit) : nullptr;
}

std::string RemoteId(HWND hwnd)
{
    return std::to_string(HandleValue(hwnd) & ~kRemoteBit);
}

bool Remote(const std::vector<std::string>& words, std::string* reply)
{
    return UnitOwnedElsewhere() && UnitRequest(words, reply);
}

std::string OptionalWord(LPCWSTR text)
{
    std::string word;
    if (text)
        word.append("=").append(ToUtf8(text));
    return word;
}

} // namespace platform::wm

namespace platform {
namespace {

using namespace platform::wm;

std::u16string OptionalText(const std::string& word, bool* present)
{
    *present = !word.empty();
    return *present ? FromUtf8(word.substr(1)) : std::u16string();
}

HWND LocalHandle(const std::string& word)
{
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::stoull(word)));
}

} // namespace

bool IsRemoteWindow(HWND hwnd)
{
    return IsRemote(hwnd);
}

void RegisterWindowControlCommands()
{
    SetControlHandler("find", [](const std::vector<std::string>& args) -> std::string {
        if (args.size() < 3)
            return "0";
        bool hasClass, hasTitle;
        std::u16string cls = OptionalText(args[1], &hasClass);
        std::u16string title = OptionalText(args[2], &hasTitle);
        HWND hwnd = FindWindowW(hasClass ? cls.c_str() : nullptr, hasTitle ? title.c_str() : nullptr);
        return std::to_string(reinterpret_cast<std::uintptr_t>(hwnd));
    });
    SetControlHandler("iswindow", [](const std::vector<std::string>& args) -> std::string {
        if (args.size() < 2)
            return "0";
        return IsWindow(LocalHandle(args[1])) ? "1" : "0";
    });
    SetControlHandler("post", [](const std::vector<std::string>& args) -> std::string {
        if (args.size() < 5)
            return "0";
        // A registered message travels by name: its id differs between processes.
        UINT message = args[2].rfind("name:", 0) == 0 ? RegisterWindowMessageW(FromUtf8(args[2].substr(5)).c_str())
                                                      : static_cast<UINT>(std::stoul(args[2]));
        BOOL ok = PostMessageW(LocalHandle(args[1]), message, static_cast<WPARAM>(std::stoull(args[3])),
                               static_cast<LPARAM>(std::stoll(args[4])));
        return ok ? "1" : "0";
    });
    SetControlHandler("foreground", [](const std::vector<std::string>& args) -> std::string {
        if (args.size() < 2)
            return "0";
        HWND hwnd = LocalHandle(args[1]);
        WCHAR title[128] = {};
        GetWindowTextW(hwnd, title, 128);
        BOOL ok = SetForegroundWindow(hwnd);
        if (ok)
            NKDbgPrintfW(u"[UNIT] window \"%s\" brought to the front by another program\n", title);
        return ok ? "1" : "0";
    });
}

} // namespace platform
