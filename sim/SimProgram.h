// A program that the unit starts but that is not the unit's own, simulated:
// the platform runs it on a thread of its own when the unit starts its path
// on a card (either slot), and only while its file stands on that card. It
// has one window, takes the unit's WM_COPYDATA commands on that window's
// thread, and reports to the unit's main window "PLAYER" with registered
// messages. A test or the console makes it hang (its thread stops taking
// messages until the fault is cleared), crash (once: it ends at once, its
// window gone, without a word to the unit) or refuse to close.
#pragma once

#include "platform/ui/Window.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

enum class ProgramFault { None, Hang, Crash, RefuseClose };

class CSimProgram {
public:
    // A WM_COPYDATA command the program received.
    struct Command {
        ULONG_PTR data = 0;
        std::vector<std::uint8_t> bytes;
    };

    virtual ~CSimProgram();
    CSimProgram(const CSimProgram&) = delete;
    CSimProgram& operator=(const CSimProgram&) = delete;

    // Registers the program under its path on both card slots; Uninstall
    // removes it (a running instance goes on).
    void Install();
    void Uninstall();
    // Writes the program's file under a card's host folder: the card then
    // holds the program.
    void PutOnCard(const std::string& cardFolder) const;

    void SetFault(ProgramFault fault);
    ProgramFault Fault() const;

    // The program's window while it runs, else null.
    HWND Window() const;
    bool IsRunning() const { return Window() != nullptr; }
    // How many times the program was started.
    int Starts() const;
    // Wait in real time, for tests and the console; true when reached.
    bool WaitUntilRunning(DWORD ms) const;
    bool WaitUntilEnded(DWORD ms) const;
    // The commands received since the start of the last run, in order.
    std::vector<Command> Commands() const;

protected:
    // pathOnCard: the program's path below a card's root; title: its
    // window's title; visible: shown at its start over the whole screen.
    CSimProgram(const WCHAR* pathOnCard, const WCHAR* title, bool visible);

    // Posts a registered message to the unit's main window; false when there
    // is none.
    static bool PostToUnit(const WCHAR* message, WPARAM wParam, LPARAM lParam);
    // Runs work on the program's thread (its window's), when it runs and
    // takes messages; false otherwise.
    bool RunOnProgramThread(std::function<void()> work);
    // Ends the run: the window goes and the thread returns exitCode.
    void End(DWORD exitCode);
    // Uninstalls the program and ends a running one, waiting for its
    // thread: the destructor of every derived program calls it first, so
    // that its thread never reaches a half-destroyed object.
    void Stop();

    // On the program's thread: the window exists.
    virtual void OnStart() {}
    // On the program's thread: a command; the answer goes back to the sender.
    virtual LRESULT OnCommand(ULONG_PTR data, const std::vector<std::uint8_t>& bytes) = 0;
    // On the program's thread: WM_CLOSE (when closing is not refused).
    virtual void OnClose() { End(0); }
    virtual void OnPaint(HDC, const RECT&) {}

private:
    DWORD Run();
    // Waits while a hang is asked for; returns false once the program must
    // end (a crash, or this object goes).
    bool PassFaults();
    static LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    const std::u16string m_pathOnCard;
    const std::u16string m_title;
    const std::u16string m_className;
    const bool m_visible;

    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    ProgramFault m_fault = ProgramFault::None;
    HWND m_window = nullptr;
    int m_runs = 0;   // runs not yet ended
    int m_starts = 0; // runs ever started
    bool m_ending = false;
    DWORD m_exitCode = 0;
    bool m_stopping = false; // this object is being destroyed
    std::vector<Command> m_commands;
    std::vector<std::function<void()>> m_work; // for the program's thread
};

} // namespace sim
