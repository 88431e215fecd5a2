#include "sim/BoardDevice.h"

#include "platform/base/Error.h"
#include "platform/ui/Window.h"

#include <cstring>

namespace sim {

bool CBoardDevice::Open(DWORD, DWORD)
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    ++m_open;
    return true;
}

void CBoardDevice::Close()
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    --m_open;
}

BOOL CBoardDevice::IoControl(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned)
{
    Call call;
    call.code = code;
    if (in && inSize > 0)
        call.input.assign(in, in + inSize);
    call.outSize = outSize;
    DWORD failure = 0;
    {
        std::lock_guard<std::mutex> guard(m_recordLock);
        if (m_silent) {
            failure = ERROR_TIMEOUT;
        } else if (auto next = m_failNext.find(code); next != m_failNext.end()) {
            failure = next->second;
            m_failNext.erase(next);
        }
    }
    BOOL result = failure ? Fail(failure) : Control(code, in, inSize, out, outSize, returned);
    call.result = result;
    call.error = result ? 0 : GetLastError();
    std::lock_guard<std::mutex> guard(m_recordLock);
    m_calls.push_back(std::move(call));
    return result;
}

void CBoardDevice::FailNext(DWORD code, DWORD error)
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    if (error)
        m_failNext[code] = error;
    else
        m_failNext.erase(code);
}

void CBoardDevice::SetSilent(bool silent)
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    m_silent = silent;
}

std::vector<CBoardDevice::Call> CBoardDevice::Calls() const
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    return m_calls;
}

std::vector<CBoardDevice::Call> CBoardDevice::CallsOf(DWORD code) const
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    std::vector<Call> calls;
    for (const Call& call : m_calls)
        if (call.code == code)
            calls.push_back(call);
    return calls;
}

std::vector<CBoardDevice::Posted> CBoardDevice::Posts() const
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    return m_posts;
}

void CBoardDevice::ClearRecord()
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    m_calls.clear();
    m_posts.clear();
}

HWND CBoardDevice::Window() const
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    return m_window;
}

int CBoardDevice::OpenHandles() const
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    return m_open;
}

bool CBoardDevice::InputIs(const BYTE* in, DWORD inSize, DWORD size)
{
    if (inSize != size || (size > 0 && !in)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

bool CBoardDevice::OutputFits(const BYTE* out, DWORD outSize, DWORD size)
{
    if (!out || outSize < size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

BOOL CBoardDevice::Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

bool CBoardDevice::TakeWindow(const BYTE* in, DWORD inSize)
{
    if (!InputIs(in, inSize, sizeof(HWND)))
        return false;
    std::lock_guard<std::mutex> guard(m_recordLock);
    std::memcpy(&m_window, in, sizeof(HWND));
    return true;
}

void CBoardDevice::Post(const WCHAR* message, DWORD code, DWORD value)
{
    HWND target = Window();
    if (!target)
        target = FindWindowW(u"PLAYER", nullptr);
    Posted posted{message, code, value, false};
    if (target)
        posted.delivered
            = PostMessageW(target, RegisterWindowMessageW(message), code, static_cast<LPARAM>(value)) != FALSE;
    std::lock_guard<std::mutex> guard(m_recordLock);
    m_posts.push_back(std::move(posted));
}

} // namespace sim
