#include "platform/io/Serial.h"

#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/io/Io.h"
#include "platform/io/SerialInternal.h"
#include "platform/unit/Unit.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <linux/serial.h>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

// Receive side of a simulated port, shared by the port and its peer.
struct SerialQueue {
    std::mutex lock;
    std::condition_variable_any arrived;
    std::deque<BYTE> bytes;
    std::size_t capacity = 0;
    DWORD errors = 0;
    bool open = true;
    bool dtr = true;
    bool rts = true;
};

namespace {

constexpr std::size_t kMinQueue = 64 * 1024;
constexpr int kPortCount = 10; // "COM1:" .. "COM9:"; 0 is never a port

std::atomic<std::size_t> g_blockedReaders{0};

struct Registry {
    std::mutex lock;
    std::array<std::shared_ptr<SerialPeer>, kPortCount> peers;
    std::array<bool, kPortCount> open{};
};

Registry& GetRegistry()
{
    static Registry* registry = new Registry; // outlives late closes at exit
    return *registry;
}

// Port number of "COMn:" (any case), or 0.
int PortNumber(LPCWSTR name)
{
    return IsSerialPortName(name) ? name[3] - u'0' : 0;
}

void ReleasePort(int number)
{
    Registry& registry = GetRegistry();
    std::lock_guard guard(registry.lock);
    registry.open[number] = false;
}

DCB DefaultState()
{
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = CBR_9600;
    dcb.fBinary = 1;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

bool ValidState(const DCB& dcb)
{
    return dcb.BaudRate != 0 && dcb.ByteSize >= 5 && dcb.ByteSize <= 8 && dcb.Parity <= EVENPARITY
        && (dcb.StopBits == ONESTOPBIT || dcb.StopBits == TWOSTOPBITS)
        && (!(dcb.fOutX || dcb.fInX) || dcb.XonChar != dcb.XoffChar);
}

std::uint64_t AddSaturated(std::uint64_t a, std::uint64_t b)
{
    return b > UINT64_MAX - a ? UINT64_MAX : a + b;
}

// When a read ends, worked out from the time-outs when it starts.
struct ReadPlan {
    std::uint64_t totalDeadline; // UINT64_MAX: none
    DWORD interval;              // 0: none
    bool firstBytesEnd;          // return as soon as anything has come
};

ReadPlan PlanRead(const COMMTIMEOUTS& t, DWORD size)
{
    const std::uint64_t now = NowMs();
    if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0)
        return {now, 0, true};
    if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD && t.ReadTotalTimeoutConstant != 0
        && t.ReadTotalTimeoutConstant != MAXDWORD)
        return {now + t.ReadTotalTimeoutConstant, 0, true};
    const std::uint64_t total = std::uint64_t{t.ReadTotalTimeoutMultiplier} * size + t.ReadTotalTimeoutConstant;
    return {total ? AddSaturated(now, total) : UINT64_MAX, t.ReadIntervalTimeout, false};
}

bool ReadDone(const ReadPlan& plan, DWORD done, DWORD size)
{
    return done == size || (plan.firstBytesEnd && done > 0);
}

// Deadline of the next wait, given the bytes read so far and when the last
// of them was taken.
std::uint64_t NextDeadline(const ReadPlan& plan, DWORD done, std::uint64_t lastByteMs)
{
    if (done && plan.interval)
        return std::min(plan.totalDeadline, AddSaturated(lastByteMs, plan.interval));
    return plan.totalDeadline;
}

std::uint64_t WriteDeadline(const COMMTIMEOUTS& t, DWORD size)
{
    const std::uint64_t total = std::uint64_t{t.WriteTotalTimeoutMultiplier} * size + t.WriteTotalTimeoutConstant;
    return total ? AddSaturated(NowMs(), total) : UINT64_MAX;
}

// poll() time-out for a wait until deadline: whole under the real clock
// (bounded to fit an int), short slices under a manual clock, which may be
// moved at any time.
int PollTimeout(std::uint64_t deadline)
{
    if (deadline == UINT64_MAX)
        return -1;
    const std::uint64_t now = NowMs();
    if (now >= deadline)
        return 0;
    if (ManualClockActive())
        return 1;
    return static_cast<int>(std::min<std::uint64_t>(deadline - now, INT_MAX));
}

} // namespace

// ---- the port object behind a handle ----

class SerialPort : public IoObject {
public:
    SerialPort(int number, DWORD access) : m_number(number), m_access(access), m_dcb(DefaultState()) {}
    ~SerialPort() override { ReleasePort(m_number); }

    // Closing the handle ends a read that another thread is blocked in.
    void OnHandleClosed() override
    {
        m_closed = true;
        WakeReaders();
    }

    BOOL Read(void* buffer, DWORD size, DWORD* read) override
    {
        if (!(m_access & GENERIC_READ)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (size == 0)
            return TRUE;
        return ReadBytes(static_cast<BYTE*>(buffer), size, PlanRead(Timeouts(), size), read);
    }

    BOOL Write(const void* data, DWORD size, DWORD* written) override
    {
        if (!(m_access & GENERIC_WRITE)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (size == 0)
            return TRUE;
        return WriteBytes(static_cast<const BYTE*>(data), size, WriteDeadline(Timeouts(), size), written);
    }

    DCB State()
    {
        std::lock_guard guard(m_lock);
        return m_dcb;
    }

    BOOL SetState(const DCB& dcb)
    {
        if (!ValidState(dcb)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        std::lock_guard serial(m_setLock); // the line and the record change together
        if (!ApplyState(dcb))
            return FALSE;
        std::lock_guard guard(m_lock);
        m_dcb = dcb;
        m_dcb.DCBlength = sizeof(DCB);
        return TRUE;
    }

    COMMTIMEOUTS Timeouts()
    {
        std::lock_guard guard(m_lock);
        return m_timeouts;
    }

    void SetTimeouts(const COMMTIMEOUTS& timeouts)
    {
        std::lock_guard guard(m_lock);
        m_timeouts = timeouts;
    }

    DWORD Mask()
    {
        std::lock_guard guard(m_lock);
        return m_mask;
    }

    // Sets the event mask and ends a comm-event wait that is under way.
    void SetMask(DWORD mask)
    {
        {
            std::lock_guard guard(m_lock);
            m_mask = mask;
            ++m_maskChanges;
        }
        WakeEventWaiters();
    }

    BOOL WaitEvent(DWORD* event)
    {
        DWORD mask;
        std::uint64_t changes;
        {
            std::lock_guard guard(m_lock);
            mask = m_mask;
            changes = m_maskChanges;
        }
        if (!mask) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        *event = 0;
        const auto maskChanged = [this, changes] {
            std::lock_guard guard(m_lock);
            return m_maskChanges != changes;
        };
        ++g_blockedReaders;
        const BOOL ok = WaitForEvent(mask, event, maskChanged);
        --g_blockedReaders;
        return ok;
    }

    virtual BOOL Purge(DWORD flags) = 0;
    virtual BOOL Setup(DWORD inQueue) = 0;
    virtual BOOL ClearErrors(DWORD* errors, COMSTAT* stat) = 0;
    virtual BOOL Escape(DWORD function) = 0;

protected:
    virtual void WakeReaders() = 0;
    // A read that the closing of the handle ended: what came is handed over.
    static BOOL AbortedRead(DWORD done, DWORD* read)
    {
        *read = done;
        SetLastError(ERROR_OPERATION_ABORTED);
        return FALSE;
    }

    std::atomic<bool> m_closed{false};

    virtual BOOL ReadBytes(BYTE* buffer, DWORD size, const ReadPlan& plan, DWORD* read) = 0;
    virtual BOOL WriteBytes(const BYTE* data, DWORD size, std::uint64_t deadline, DWORD* written) = 0;
    // Puts the settings on the line; false with the last error set.
    virtual bool ApplyState(const DCB& dcb) = 0;
    // Waits until an event of the mask is there (stored in *event), the mask
    // changed (TRUE, no event) or the handle closed.
    virtual BOOL WaitForEvent(DWORD mask, DWORD* event, const std::function<bool()>& maskChanged) = 0;
    virtual void WakeEventWaiters() = 0;

private:
    const int m_number;
    const DWORD m_access;
    std::mutex m_lock;
    std::mutex m_setLock;
    DCB m_dcb;
    COMMTIMEOUTS m_timeouts{};
    DWORD m_mask = 0;
    std::uint64_t m_maskChanges = 0;
};

// ---- ports bound to a simulated peer ----

class SimSerialPort : public SerialPort {
public:
    SimSerialPort(int number, DWORD access, std::shared_ptr<SerialPeer> peer)
        : SerialPort(number, access), m_peer(std::move(peer)), m_queue(std::make_shared<SerialQueue>())
    {
        m_queue->capacity = kMinQueue;
    }

    // Links the peer to this port; false when it serves another port.
    bool Attach()
    {
        std::lock_guard guard(m_peer->m_link);
        if (m_peer->m_queue)
            return false;
        m_peer->m_queue = m_queue;
        m_attached = true;
        return true;
    }

    void Opened()
    {
        std::lock_guard hooks(m_hooks);
        m_peer->OnOpen();
    }

    ~SimSerialPort() override
    {
        if (!m_attached)
            return;
        {
            std::lock_guard guard(m_peer->m_link);
            m_peer->m_queue.reset();
        }
        {
            std::lock_guard guard(m_queue->lock);
            m_queue->open = false;
        }
        std::lock_guard hooks(m_hooks);
        m_peer->OnClose();
    }

    BOOL Purge(DWORD flags) override
    {
        if (flags & PURGE_RXCLEAR) {
            std::lock_guard guard(m_queue->lock);
            m_queue->bytes.clear();
        }
        return TRUE; // nothing waits to be sent: writes reach the peer at once
    }

    BOOL Setup(DWORD inQueue) override
    {
        std::lock_guard guard(m_queue->lock);
        m_queue->capacity = std::max<std::size_t>(m_queue->capacity, inQueue);
        return TRUE;
    }

    BOOL ClearErrors(DWORD* errors, COMSTAT* stat) override
    {
        std::lock_guard guard(m_queue->lock);
        if (errors)
            *errors = m_queue->errors;
        m_queue->errors = 0;
        if (stat)
            *stat = {static_cast<DWORD>(m_queue->bytes.size()), 0};
        return TRUE;
    }

    BOOL Escape(DWORD function) override
    {
        {
            std::lock_guard guard(m_queue->lock);
            if (function == SETDTR || function == CLRDTR)
                m_queue->dtr = function == SETDTR;
            else
                m_queue->rts = function == SETRTS;
        }
        std::lock_guard hooks(m_hooks);
        m_peer->OnEscape(function);
        return TRUE;
    }

protected:
    void WakeReaders() override
    {
        std::lock_guard guard(m_queue->lock);
        m_queue->arrived.notify_all();
    }

    BOOL ReadBytes(BYTE* buffer, DWORD size, const ReadPlan& plan, DWORD* read) override
    {
        SerialQueue& q = *m_queue;
        std::unique_lock lock(q.lock);
        DWORD done = 0;
        std::uint64_t lastByteMs = 0;
        for (;;) {
            const DWORD take = static_cast<DWORD>(std::min<std::size_t>(size - done, q.bytes.size()));
            if (take) {
                std::copy_n(q.bytes.begin(), take, buffer + done);
                q.bytes.erase(q.bytes.begin(), q.bytes.begin() + take);
                done += take;
                lastByteMs = NowMs();
            }
            if (ReadDone(plan, done, size))
                break;
            if (m_closed)
                return AbortedRead(done, read);
            const std::uint64_t deadline = NextDeadline(plan, done, lastByteMs);
            if (NowMs() >= deadline)
                break;
            ++g_blockedReaders;
            WaitUntilMs(q.arrived, lock, deadline, [&] { return !q.bytes.empty() || m_closed; });
            --g_blockedReaders;
        }
        *read = done;
        return TRUE;
    }

    BOOL WriteBytes(const BYTE* data, DWORD size, std::uint64_t, DWORD* written) override
    {
        std::lock_guard hooks(m_hooks);
        m_peer->OnReceive(data, size);
        *written = size;
        return TRUE;
    }

    bool ApplyState(const DCB& dcb) override
    {
        std::lock_guard hooks(m_hooks);
        m_peer->OnStateChange(dcb);
        return true;
    }

    BOOL WaitForEvent(DWORD mask, DWORD* event, const std::function<bool()>& maskChanged) override
    {
        SerialQueue& q = *m_queue;
        std::unique_lock lock(q.lock);
        const bool rx = mask & EV_RXCHAR;
        q.arrived.wait(lock, [&] { return (rx && !q.bytes.empty()) || m_closed || maskChanged(); });
        if (m_closed)
            return AbortedRead(0, event);
        if (rx && !q.bytes.empty() && !maskChanged())
            *event = EV_RXCHAR;
        return TRUE;
    }

    void WakeEventWaiters() override
    {
        std::lock_guard guard(m_queue->lock);
        m_queue->arrived.notify_all();
    }

private:
    std::shared_ptr<SerialPeer> m_peer;
    std::shared_ptr<SerialQueue> m_queue;
    std::mutex m_hooks; // the peer's hooks run one at a time
    bool m_attached = false;
};

std::size_t SerialPeer::Send(const BYTE* data, std::size_t size)
{
    std::shared_ptr<SerialQueue> q;
    {
        std::lock_guard guard(m_link);
        q = m_queue;
    }
    if (!q || !size)
        return 0;
    std::lock_guard guard(q->lock);
    if (!q->open)
        return 0;
    const std::size_t taken = std::min(size, q->capacity - std::min(q->capacity, q->bytes.size()));
    if (taken < size)
        q->errors |= CE_RXOVER;
    q->bytes.insert(q->bytes.end(), data, data + taken);
    if (taken)
        q->arrived.notify_all();
    return taken;
}

bool SerialPeer::IsOpen() const
{
    std::lock_guard guard(m_link);
    return m_queue != nullptr;
}

bool SerialPeer::Dtr() const
{
    std::lock_guard guard(m_link);
    if (!m_queue)
        return false;
    std::lock_guard lines(m_queue->lock);
    return m_queue->dtr;
}

bool SerialPeer::Rts() const
{
    std::lock_guard guard(m_link);
    if (!m_queue)
        return false;
    std::lock_guard lines(m_queue->lock);
    return m_queue->rts;
}

// ---- ports bound to a host serial device ----

namespace {

struct Speed {
    DWORD baud;
    speed_t speed;
};

constexpr Speed kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},         {200, B200},
    {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},     {2400, B2400},       {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},   {230400, B230400},
    {460800, B460800}, {500000, B500000}, {576000, B576000}, {921600, B921600}, {1000000, B1000000},
};

bool HostSpeed(DWORD baud, speed_t* speed)
{
    for (const Speed& s : kSpeeds) {
        if (s.baud == baud) {
            *speed = s.speed;
            return true;
        }
    }
    return false;
}

// The driver's line-error counts; false when it keeps none.
bool ReadLineErrors(int fd, LineErrorCounts* counts)
{
    serial_icounter_struct icount{};
    if (ioctl(fd, TIOCGICOUNT, &icount) != 0)
        return false;
    auto count = [](int n) { return static_cast<unsigned long>(static_cast<unsigned>(n)); };
    *counts = LineErrorCounts{count(icount.frame), count(icount.parity), count(icount.overrun),
                              count(icount.buf_overrun), count(icount.brk)};
    return true;
}

DWORD ErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
        return ERROR_ACCESS_DENIED;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_IO_DEVICE;
    }
}

} // namespace

DWORD CommErrorsBetween(const LineErrorCounts& before, const LineErrorCounts& now)
{
    DWORD errors = 0;
    errors |= now.frame != before.frame ? CE_FRAME : 0;
    errors |= now.parity != before.parity ? CE_RXPARITY : 0;
    errors |= now.overrun != before.overrun ? CE_OVERRUN : 0;
    errors |= now.bufferOverrun != before.bufferOverrun ? CE_RXOVER : 0;
    errors |= now.breaks != before.breaks ? CE_BREAK : 0;
    return errors;
}

class HostSerialPort : public SerialPort {
public:
    HostSerialPort(int number, DWORD access, int fd)
        : SerialPort(number, access), m_fd(fd), m_wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
          m_maskWake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
        // Errors from before the port was opened are not this handle's.
        ReadLineErrors(m_fd, &m_lineErrors);
    }
    ~HostSerialPort() override
    {
        close(m_fd);
        if (m_wake >= 0)
            close(m_wake);
        if (m_maskWake >= 0)
            close(m_maskWake);
    }

    BOOL Purge(DWORD flags) override
    {
        const bool rx = flags & PURGE_RXCLEAR;
        const bool tx = flags & PURGE_TXCLEAR;
        if ((rx || tx) && tcflush(m_fd, rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH) != 0)
            return Fail(errno);
        return TRUE;
    }

    BOOL Setup(DWORD) override { return TRUE; }

    BOOL ClearErrors(DWORD* errors, COMSTAT* stat) override
    {
        LineErrorCounts now;
        DWORD found = 0;
        std::lock_guard guard(m_lineErrorsLock);
        if (ReadLineErrors(m_fd, &now)) {
            found = CommErrorsBetween(m_lineErrors, now);
            m_lineErrors = now;
        }
        if (errors)
            *errors = found;
        if (stat) {
            int in = 0;
            int out = 0;
            if (ioctl(m_fd, FIONREAD, &in) != 0 || ioctl(m_fd, TIOCOUTQ, &out) != 0)
                return Fail(errno);
            *stat = {static_cast<DWORD>(in), static_cast<DWORD>(out)};
        }
        return TRUE;
    }

    BOOL Escape(DWORD function) override
    {
        const int bits = function == SETDTR || function == CLRDTR ? TIOCM_DTR : TIOCM_RTS;
        const bool raise = function == SETDTR || function == SETRTS;
        if (ioctl(m_fd, raise ? TIOCMBIS : TIOCMBIC, &bits) != 0) {
            SetLastError(ERROR_NOT_SUPPORTED); // e.g. a pseudo-terminal has no modem lines
            return FALSE;
        }
        return TRUE;
    }

    // The line's settings as the port's record says; false with the last
    // error set when the host cannot run them.
    bool ApplyState(const DCB& dcb) override
    {
        speed_t speed;
        if (!HostSpeed(dcb.BaudRate, &speed)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        termios t{};
        if (tcgetattr(m_fd, &t) != 0)
            return Fail(errno);
        cfmakeraw(&t);
        t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
        t.c_cflag |= CLOCAL | CREAD;
        static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
        t.c_cflag |= kSizes[dcb.ByteSize - 5];
        if (dcb.Parity != NOPARITY) {
            t.c_cflag |= PARENB | (dcb.Parity == ODDPARITY ? PARODD : 0);
            if (dcb.fParity)
                t.c_iflag |= INPCK;
        }
        if (dcb.StopBits == TWOSTOPBITS)
            t.c_cflag |= CSTOPB;
        if (dcb.fOutxCtsFlow)
            t.c_cflag |= CRTSCTS;
        t.c_iflag &= ~(IXON | IXOFF | IXANY);
        if (dcb.fOutX)
            t.c_iflag |= IXON;
        if (dcb.fInX)
            t.c_iflag |= IXOFF;
        t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
        t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0 || tcsetattr(m_fd, TCSANOW, &t) != 0)
            return Fail(errno);
        return true;
    }

protected:
    void WakeReaders() override
    {
        const std::uint64_t one = 1;
        if (m_wake >= 0 && ::write(m_wake, &one, sizeof one) < 0) {
            // The counter is only a wake-up: a full one wakes readers too.
        }
    }

    BOOL ReadBytes(BYTE* buffer, DWORD size, const ReadPlan& plan, DWORD* read) override
    {
        DWORD done = 0;
        std::uint64_t lastByteMs = 0;
        while (!ReadDone(plan, done, size)) {
            if (m_closed)
                return AbortedRead(done, read);
            const std::uint64_t deadline = NextDeadline(plan, done, lastByteMs);
            pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake, POLLIN, 0}};
            pollfd& p = fds[0];
            ++g_blockedReaders;
            const int ready = poll(fds, m_wake >= 0 ? 2 : 1, PollTimeout(deadline));
            --g_blockedReaders;
            if (ready > 0 && !(p.revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)))
                continue; // only the wake-up: the loop sees the close
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0)
                return FailRead(errno, done, read);
            if (ready == 0) {
                if (NowMs() >= deadline)
                    break;
                continue;
            }
            if (p.revents & POLLIN) {
                const ssize_t n = ::read(m_fd, buffer + done, size - done);
                if (n > 0) {
                    done += static_cast<DWORD>(n);
                    lastByteMs = NowMs();
                    continue;
                }
                if (n < 0 && (errno == EAGAIN || errno == EINTR))
                    continue;
                if (n < 0)
                    return FailRead(errno, done, read);
            }
            // Hung up (device gone, other end closed) or a read of nothing
            // although poll said there was something: give what came.
            return FailRead(EIO, done, read);
        }
        *read = done;
        return TRUE;
    }

    BOOL WaitForEvent(DWORD mask, DWORD* event, const std::function<bool()>& maskChanged) override
    {
        const bool rx = mask & EV_RXCHAR;
        for (;;) {
            if (m_closed)
                return AbortedRead(0, event);
            if (maskChanged())
                return TRUE;
            pollfd fds[3]
                = {{m_fd, static_cast<short>(rx ? POLLIN : 0), 0}, {m_wake, POLLIN, 0}, {m_maskWake, POLLIN, 0}};
            const int ready = poll(fds, 3, -1);
            if (ready < 0 && errno != EINTR)
                return Fail(errno);
            if (ready <= 0)
                continue;
            if (fds[2].revents & POLLIN) {
                std::uint64_t count;
                if (::read(m_maskWake, &count, sizeof count) < 0) {
                    // Drained by another waiter: the loop checks the mask.
                }
                continue;
            }
            if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
                return Fail(EIO);
            if (rx && (fds[0].revents & POLLIN)) {
                *event = EV_RXCHAR;
                return TRUE;
            }
        }
    }

    void WakeEventWaiters() override
    {
        const std::uint64_t one = 1;
        if (m_maskWake >= 0 && ::write(m_maskWake, &one, sizeof one) < 0) {
            // A full counter wakes the waiters too.
        }
    }

    BOOL WriteBytes(const BYTE* data, DWORD size, std::uint64_t deadline, DWORD* written) override
    {
        DWORD done = 0;
        while (done < size) {
            const ssize_t n = ::write(m_fd, data + done, size - done);
            if (n > 0) {
                done += static_cast<DWORD>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN) {
                *written = done;
                return Fail(errno);
            }
            if (NowMs() >= deadline)
                break; // timed out: the caller sees how much went
            pollfd p{m_fd, POLLOUT, 0};
            if (poll(&p, 1, PollTimeout(deadline)) > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
                *written = done;
                return Fail(EIO);
            }
        }
        *written = done;
        return TRUE;
    }

private:
    static BOOL Fail(int error)
    {
        SetLastError(ErrorFromErrno(error));
        return FALSE;
    }

    // Bytes already read are handed over; the failure shows on the next read.
    static BOOL FailRead(int error, DWORD done, DWORD* read)
    {
        *read = done;
        if (done)
            return TRUE;
        SetLastError(error == EINVAL ? ERROR_INVALID_PARAMETER : ERROR_IO_DEVICE);
        return FALSE;
    }

    const int m_fd;
    const int m_wake;     // eventfd that wakes a blocked read when the handle closes
    const int m_maskWake; // eventfd that wakes a comm-event wait when the mask changes
    std::mutex m_lineErrorsLock;
    LineErrorCounts m_lineErrors; // the driver's counts when the errors were last cleared
};

// ---- binding and opening ----

namespace {

std::string Trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// Host device configured for the port in <root>/config/serial.conf, or "".
std::string ConfiguredDevice(int number)
{
    const std::string path = UnitRoot() + "/config/serial.conf";
    std::ifstream file(path);
    std::string line;
    for (int lineNumber = 1; std::getline(file, line); ++lineNumber) {
        line = Trim(line.substr(0, line.find('#')));
        if (line.empty())
            continue;
        const auto split = line.find_first_of(" \t");
        std::string name = line.substr(0, split);
        const std::string device = split == std::string::npos ? std::string() : Trim(line.substr(split));
        if (!name.empty() && name.back() != ':')
            name += ':';
        const std::u16string wide = FromUtf8(name);
        const int port = PortNumber(wide.c_str());
        if (!port || device.empty()) {
            NKDbgPrintfW(u"serial.conf:%d: not \"COMn: device\", ignored\n", lineNumber);
            continue;
        }
        if (port == number)
            return device;
    }
    return {};
}

// Takes the port's one open; false (ERROR_ACCESS_DENIED) when it is open.
bool ClaimPort(int number)
{
    Registry& registry = GetRegistry();
    std::lock_guard guard(registry.lock);
    if (registry.open[number]) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    registry.open[number] = true;
    return true;
}

std::shared_ptr<IoObject> OpenHostPort(int number, DWORD access, const std::string& device)
{
    if (!ClaimPort(number))
        return nullptr;
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        NKDbgPrintfW(u"COM%d: cannot open %S: %S\n", number, device, std::strerror(error));
        ReleasePort(number);
        SetLastError(ErrorFromErrno(error));
        return nullptr;
    }
    auto port = std::make_shared<HostSerialPort>(number, access, fd);
    if (!port->ApplyState(port->State())) {
        const DWORD error = GetLastError();
        NKDbgPrintfW(u"COM%d: %S is not a usable serial device\n", number, device);
        port.reset();
        SetLastError(error);
        return nullptr;
    }
    tcflush(fd, TCIOFLUSH); // start with empty queues, as a freshly opened port does
    return port;
}

} // namespace

std::shared_ptr<IoObject> OpenSerialPort(LPCWSTR name, DWORD access, DWORD)
{
    const int number = PortNumber(name);
    if (!number) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    const std::string device = ConfiguredDevice(number);
    if (!device.empty())
        return OpenHostPort(number, access, device);

    std::shared_ptr<SerialPeer> peer;
    {
        Registry& registry = GetRegistry();
        std::lock_guard guard(registry.lock);
        peer = registry.peers[number];
    }
    if (!peer) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    if (!ClaimPort(number))
        return nullptr;
    auto port = std::make_shared<SimSerialPort>(number, access, std::move(peer));
    if (!port->Attach()) {
        SetLastError(ERROR_ACCESS_DENIED); // the peer is busy on another port
        return nullptr;
    }
    port->Opened();
    return port;
}

bool RegisterSerialPeer(LPCWSTR port, std::shared_ptr<SerialPeer> peer)
{
    const int number = PortNumber(port);
    if (!number) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    Registry& registry = GetRegistry();
    std::lock_guard guard(registry.lock);
    registry.peers[number] = std::move(peer);
    return true;
}

std::size_t BlockedSerialReaderCount()
{
    return g_blockedReaders.load();
}

} // namespace platform

// ---- the comm calls ----

namespace {

std::shared_ptr<platform::SerialPort> PortOf(HANDLE handle)
{
    return platform::LookupObjectAs<platform::SerialPort>(handle);
}

template <class T> bool NullArgument(const T* p)
{
    if (p)
        return false;
    SetLastError(ERROR_INVALID_PARAMETER);
    return true;
}

} // namespace

BOOL GetCommState(HANDLE port, LPDCB dcb)
{
    auto object = PortOf(port);
    if (!object || NullArgument(dcb))
        return FALSE;
    *dcb = object->State();
    return TRUE;
}

BOOL SetCommState(HANDLE port, const DCB* dcb)
{
    auto object = PortOf(port);
    if (!object || NullArgument(dcb))
        return FALSE;
    return object->SetState(*dcb);
}

BOOL GetCommTimeouts(HANDLE port, LPCOMMTIMEOUTS timeouts)
{
    auto object = PortOf(port);
    if (!object || NullArgument(timeouts))
        return FALSE;
    *timeouts = object->Timeouts();
    return TRUE;
}

BOOL SetCommTimeouts(HANDLE port, const COMMTIMEOUTS* timeouts)
{
    auto object = PortOf(port);
    if (!object || NullArgument(timeouts))
        return FALSE;
    object->SetTimeouts(*timeouts);
    return TRUE;
}

BOOL PurgeComm(HANDLE port, DWORD flags)
{
    auto object = PortOf(port);
    if (!object)
        return FALSE;
    if (flags & ~(PURGE_RXCLEAR | PURGE_TXCLEAR)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return object->Purge(flags);
}

BOOL SetupComm(HANDLE port, DWORD inQueue, DWORD)
{
    auto object = PortOf(port);
    return object ? object->Setup(inQueue) : FALSE;
}

BOOL ClearCommError(HANDLE port, DWORD* errors, LPCOMSTAT stat)
{
    auto object = PortOf(port);
    return object ? object->ClearErrors(errors, stat) : FALSE;
}

BOOL SetCommMask(HANDLE port, DWORD mask)
{
    auto object = PortOf(port);
    if (!object)
        return FALSE;
    object->SetMask(mask);
    return TRUE;
}

BOOL GetCommMask(HANDLE port, DWORD* mask)
{
    auto object = PortOf(port);
    if (!object || NullArgument(mask))
        return FALSE;
    *mask = object->Mask();
    return TRUE;
}

BOOL WaitCommEvent(HANDLE port, DWORD* event, LPVOID)
{
    auto object = PortOf(port);
    if (!object || NullArgument(event))
        return FALSE;
    return object->WaitEvent(event);
}

BOOL EscapeCommFunction(HANDLE port, DWORD function)
{
    auto object = PortOf(port);
    if (!object)
        return FALSE;
    if (function != SETDTR && function != CLRDTR && function != SETRTS && function != CLRRTS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return object->Escape(function);
}
