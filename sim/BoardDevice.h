// What the board's run-time drivers share: the record of every control call
// with its bytes, calls a test makes fail, the window a driver posts its
// messages to, and the record of those messages.
//
// A driver posts to the window registered with it; before one is
// registered, to the main window "PLAYER" when there is one. A message that
// no window takes is still recorded (delivered false).
#pragma once

#include "platform/base/Types.h"
#include "platform/io/Device.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

class CBoardDevice : public platform::Device {
public:
    struct Call {
        DWORD code = 0;
        std::vector<BYTE> input;
        DWORD outSize = 0;
        BOOL result = FALSE;
        DWORD error = 0; // last error of a failed call
    };

    struct Posted {
        std::u16string message; // registered message name
        DWORD code = 0;         // wParam
        DWORD value = 0;        // lParam
        bool delivered = false;
    };

    bool Open(DWORD access, DWORD share) override;
    void Close() override;
    // Records the call and answers it through Control, unless a failure was
    // queued for the code.
    BOOL IoControl(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned) final;

    // The next call of the code fails with the error (0 cancels).
    void FailNext(DWORD code, DWORD error);
    // Every call fails with ERROR_TIMEOUT while set.
    void SetSilent(bool silent);

    std::vector<Call> Calls() const;
    std::vector<Call> CallsOf(DWORD code) const;
    std::vector<Posted> Posts() const;
    void ClearRecord();
    HWND Window() const;
    int OpenHandles() const;

protected:
    // Answers one call; the record and the queued failures are handled. The
    // device's own lock is not held.
    virtual BOOL Control(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned) = 0;

    // Helpers for Control.
    // Fails with ERROR_INVALID_PARAMETER unless the input is exactly size
    // bytes (size 0: no input).
    static bool InputIs(const BYTE* in, DWORD inSize, DWORD size);
    // Fails with ERROR_INVALID_PARAMETER unless there is room for size bytes.
    static bool OutputFits(const BYTE* out, DWORD outSize, DWORD size);
    static BOOL Fail(DWORD error);
    // Takes a pointer-sized window handle as the registration input.
    bool TakeWindow(const BYTE* in, DWORD inSize);
    void Post(const WCHAR* message, DWORD code, DWORD value);

private:
    mutable std::mutex m_recordLock;
    std::vector<Call> m_calls;
    std::vector<Posted> m_posts;
    std::map<DWORD, DWORD> m_failNext;
    bool m_silent = false;
    HWND m_window = nullptr;
    int m_open = 0;
};

} // namespace sim
