#include "sim/SimProgram.h"

#include "platform/base/Text.h"
#include "platform/gfx/Gdi.h"
#include "platform/os/Process.h"
#include "platform/unit/Unit.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <utility>

namespace sim {

namespace {

// The two card slots' roots on the unit.
constexpr const WCHAR* kCardRoots[] = {u"\\Storage Card", u"\\Storage Card2"};

// Wakes the program's thread for work handed to it from elsewhere.
constexpr UINT kWakeMessage = WM_APP + 0x5A;

constexpr DWORD kCrashExitCode = 0xC0000005; // an access violation ends it

// The program whose thread this is (one program per thread).
thread_local CSimProgram* t_program = nullptr;

std::u16string OnCard(const WCHAR* root, const std::u16string& pathOnCard)
{
    std::u16string path(root);
    path += pathOnCard;
    return path;
}

} // namespace

CSimProgram::CSimProgram(const WCHAR* pathOnCard, const WCHAR* title, bool visible)
    : m_pathOnCard(pathOnCard), m_title(title), m_className(std::u16string(title).append(u"SimWindow")),
      m_visible(visible)
{
}

CSimProgram::~CSimProgram()
{
    Stop();
}

void CSimProgram::Stop()
{
    Uninstall();
    std::unique_lock<std::mutex> lock(m_lock);
    m_stopping = true;
    m_changed.notify_all();
    while (m_runs > 0) {
        // A running program is asked to end; a hung one is released by the
        // stop and ends on its own.
        if (HWND window = m_window) {
            m_work.push_back([this] { End(0); });
            PostMessageW(window, kWakeMessage, 0, 0);
        }
        m_changed.wait_for(lock, std::chrono::milliseconds(50));
    }
}

void CSimProgram::Install()
{
    for (const WCHAR* root : kCardRoots)
        platform::RegisterProgram(
            OnCard(root, m_pathOnCard).c_str(), [this](const std::u16string&) { return Run(); },
            platform::ProgramFile::Needed);
}

void CSimProgram::Uninstall()
{
    for (const WCHAR* root : kCardRoots)
        platform::UnregisterProgram(OnCard(root, m_pathOnCard).c_str());
}

void CSimProgram::PutOnCard(const std::string& cardFolder) const
{
    std::string relative = platform::ToUtf8(m_pathOnCard);
    for (char& c : relative)
        if (c == '\\')
            c = '/';
    std::filesystem::path file = std::filesystem::path(cardFolder) / relative.substr(1);
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    std::ofstream(file, std::ios::binary) << "MZ";
}

void CSimProgram::SetFault(ProgramFault fault)
{
    HWND window = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_fault = fault;
        window = m_window;
        m_changed.notify_all();
    }
    // A crash happens at once, not at the next message.
    if (fault == ProgramFault::Crash && window)
        PostMessageW(window, kWakeMessage, 0, 0);
}

ProgramFault CSimProgram::Fault() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_fault;
}

HWND CSimProgram::Window() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_window;
}

int CSimProgram::Starts() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_starts;
}

bool CSimProgram::WaitUntilRunning(DWORD ms) const
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_window != nullptr; });
}

bool CSimProgram::WaitUntilEnded(DWORD ms) const
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_runs == 0; });
}

std::vector<CSimProgram::Command> CSimProgram::Commands() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_commands;
}

bool CSimProgram::PostToUnit(const WCHAR* message, WPARAM wParam, LPARAM lParam)
{
    HWND unit = FindWindowW(u"PLAYER", nullptr);
    return unit && PostMessageW(unit, RegisterWindowMessageW(message), wParam, lParam);
}

bool CSimProgram::RunOnProgramThread(std::function<void()> work)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_window || m_ending)
        return false;
    m_work.push_back(std::move(work));
    return PostMessageW(m_window, kWakeMessage, 0, 0) != FALSE;
}

void CSimProgram::End(DWORD exitCode)
{
    HWND window = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_ending)
            return;
        m_ending = true;
        m_exitCode = exitCode;
        window = std::exchange(m_window, nullptr);
        m_work.clear();
        m_changed.notify_all();
    }
    if (window)
        DestroyWindow(window);
    PostQuitMessage(static_cast<int>(exitCode));
}

DWORD CSimProgram::Run()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_stopping)
            return 1;
        ++m_runs;
        ++m_starts;
        m_ending = false;
        m_exitCode = 0;
        m_commands.clear();
    }
    t_program = this;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &CSimProgram::WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = m_className.c_str();
    RegisterClassW(&windowClass); // already there from an earlier run: fine
    HWND window = CreateWindowExW(0, m_className.c_str(), m_title.c_str(), m_visible ? WS_VISIBLE : 0, 0, 0, 800, 480,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_window = window;
            m_changed.notify_all();
        }
        OnStart();
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        End(static_cast<DWORD>(message.wParam)); // a quit from elsewhere
    }
    t_program = nullptr;
    std::lock_guard<std::mutex> lock(m_lock);
    DWORD exitCode = window ? m_exitCode : 1;
    m_window = nullptr;
    --m_runs;
    m_changed.notify_all();
    return exitCode;
}

bool CSimProgram::PassFaults()
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait(lock, [this] { return m_fault != ProgramFault::Hang || m_stopping; });
    if (m_fault == ProgramFault::Crash) {
        m_fault = ProgramFault::None;
        return false;
    }
    return !m_stopping;
}

LRESULT CSimProgram::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return t_program ? t_program->Handle(hwnd, message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CSimProgram::Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY || message == WM_NCDESTROY)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    // A hung program takes nothing until the hang ends; a crashed one ends
    // without a word.
    if (!PassFaults()) {
        End(kCrashExitCode);
        return 0;
    }
    switch (message) {
    case kWakeMessage: {
        std::vector<std::function<void()>> work;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            work.swap(m_work);
        }
        for (auto& item : work)
            item();
        return 0;
    }
    case WM_COPYDATA: {
        const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!copy)
            return 0;
        Command command;
        command.data = copy->dwData;
        if (copy->lpData && copy->cbData > 0) {
            const auto* bytes = static_cast<const std::uint8_t*>(copy->lpData);
            command.bytes.assign(bytes, bytes + copy->cbData);
        }
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_commands.push_back(command);
        }
        return OnCommand(command.data, command.bytes);
    }
    case WM_CLOSE:
        if (Fault() != ProgramFault::RefuseClose)
            OnClose();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        RECT client;
        GetClientRect(hwnd, &client);
        OnPaint(dc, client);
        EndPaint(hwnd, &paint);
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace sim
