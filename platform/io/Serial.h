// Serial ports "COM1:" to "COM9:".
//
// CreateFileW on a port name opens the port; ReadFile and WriteFile move
// bytes, and the comm calls below set its line settings and time-outs. A
// port is bound to one of two things:
//  - a real host serial device, named in <root>/config/serial.conf by lines
//    such as "COM3: /dev/ttyUSB0" ('#' starts a comment), driven through
//    termios in raw mode;
//  - a simulated peer, an in-process SerialPeer registered under the port's
//    name, which receives what the unit writes and sends bytes back.
// The configuration wins over a registered peer, so that a real module can
// replace the simulation. A port with neither does not exist
// (ERROR_FILE_NOT_FOUND). A port has one open handle at a time: a second
// open fails with ERROR_ACCESS_DENIED until the first handle is closed.
//
// A new port runs at 9600 baud, 8 data bits, no parity, one stop bit,
// binary, with all time-outs 0. Reads follow the read time-outs on the
// platform clock:
//  1. interval MAXDWORD, multiplier 0, constant 0: return at once with what
//     is buffered, possibly nothing;
//  2. interval MAXDWORD, multiplier MAXDWORD, 0 < constant < MAXDWORD:
//     return buffered bytes at once; with none, wait up to the constant for
//     the first byte and return what has come;
//  3. otherwise the read ends when the count is met, when the total time-out
//     (multiplier x count + constant, 0 = none) runs out, or when the
//     interval time-out (0 = none) runs out between two bytes once at least
//     one byte has come. All zero thus waits for the full count.
// A read that times out succeeds with the bytes it got. Writes to a peer
// complete at once; writes to a host device honour the total write time-out.
//
// A reader that should sleep until bytes come sets the event mask EV_RXCHAR
// and waits in WaitCommEvent (see there).
#pragma once

#include "platform/base/Types.h"

#include <cstddef>
#include <memory>
#include <mutex>

inline constexpr DWORD MAXDWORD = 0xFFFFFFFF;

// Baud rates.
inline constexpr DWORD CBR_110 = 110;
inline constexpr DWORD CBR_300 = 300;
inline constexpr DWORD CBR_600 = 600;
inline constexpr DWORD CBR_1200 = 1200;
inline constexpr DWORD CBR_2400 = 2400;
inline constexpr DWORD CBR_4800 = 4800;
inline constexpr DWORD CBR_9600 = 9600;
inline constexpr DWORD CBR_14400 = 14400;
inline constexpr DWORD CBR_19200 = 19200;
inline constexpr DWORD CBR_38400 = 38400;
inline constexpr DWORD CBR_56000 = 56000;
inline constexpr DWORD CBR_57600 = 57600;
inline constexpr DWORD CBR_115200 = 115200;
inline constexpr DWORD CBR_128000 = 128000;
inline constexpr DWORD CBR_256000 = 256000;

// Parity and stop bits.
inline constexpr BYTE NOPARITY = 0;
inline constexpr BYTE ODDPARITY = 1;
inline constexpr BYTE EVENPARITY = 2;
inline constexpr BYTE ONESTOPBIT = 0;
inline constexpr BYTE TWOSTOPBITS = 2;

// DTR and RTS control in the DCB.
inline constexpr DWORD DTR_CONTROL_DISABLE = 0;
inline constexpr DWORD DTR_CONTROL_ENABLE = 1;
inline constexpr DWORD DTR_CONTROL_HANDSHAKE = 2;
inline constexpr DWORD RTS_CONTROL_DISABLE = 0;
inline constexpr DWORD RTS_CONTROL_ENABLE = 1;
inline constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;

// PurgeComm.
inline constexpr DWORD PURGE_TXCLEAR = 0x0004;
inline constexpr DWORD PURGE_RXCLEAR = 0x0008;

// EscapeCommFunction.
inline constexpr DWORD SETRTS = 3;
inline constexpr DWORD CLRRTS = 4;
inline constexpr DWORD SETDTR = 5;
inline constexpr DWORD CLRDTR = 6;

// ClearCommError's error flags.
inline constexpr DWORD CE_RXOVER = 0x0001;   // the receive queue overflowed and bytes were dropped
inline constexpr DWORD CE_OVERRUN = 0x0002;  // the device's receive buffer overran
inline constexpr DWORD CE_RXPARITY = 0x0004; // a parity error
inline constexpr DWORD CE_FRAME = 0x0008;    // a framing error
inline constexpr DWORD CE_BREAK = 0x0010;    // a break on the line

// Comm events (SetCommMask, WaitCommEvent).
inline constexpr DWORD EV_RXCHAR = 0x0001; // a character was received

struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
};
using LPDCB = DCB*;

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};
using LPCOMMTIMEOUTS = COMMTIMEOUTS*;

struct COMSTAT {
    DWORD cbInQue;  // bytes received and not yet read
    DWORD cbOutQue; // bytes written and not yet sent
};
using LPCOMSTAT = COMSTAT*;

BOOL GetCommState(HANDLE port, LPDCB dcb);
// Fails with ERROR_INVALID_PARAMETER for a parity, stop-bit setting or byte
// size the port does not know, a baud rate of 0, or (host devices) a rate
// the host cannot run; the port then keeps its settings.
BOOL SetCommState(HANDLE port, const DCB* dcb);
BOOL GetCommTimeouts(HANDLE port, LPCOMMTIMEOUTS timeouts);
BOOL SetCommTimeouts(HANDLE port, const COMMTIMEOUTS* timeouts);
// Drops received (PURGE_RXCLEAR) and unsent (PURGE_TXCLEAR) bytes.
BOOL PurgeComm(HANDLE port, DWORD flags);
// Asks for a receive queue of at least inQueue bytes (a simulated port keeps
// 64 KiB at least; a host device uses its driver's queues).
BOOL SetupComm(HANDLE port, DWORD inQueue, DWORD outQueue);
// Reports and clears the error flags (CE_*) and fills the queue counts. A
// simulated port reports CE_RXOVER when its receive queue dropped bytes. A
// host device reports the line errors its driver counted since the last call
// (or since the port was opened); a device whose driver keeps no counts (a
// pseudo-terminal, some USB adapters) reports none.
BOOL ClearCommError(HANDLE port, DWORD* errors, LPCOMSTAT stat);
// Raises or drops DTR and RTS.
BOOL EscapeCommFunction(HANDLE port, DWORD function);
// The events WaitCommEvent waits for (EV_RXCHAR; other bits are kept but
// never reported). Setting the mask ends a wait that is under way: it
// returns TRUE with no event, which is how another thread wakes a reader
// before closing the port.
BOOL SetCommMask(HANDLE port, DWORD mask);
BOOL GetCommMask(HANDLE port, DWORD* mask);
// Waits without a time-out until an event of the mask is there and reports
// it in *event: EV_RXCHAR as long as received bytes wait to be read (so no
// byte that came before the call is missed). Fails at once with
// ERROR_INVALID_PARAMETER when the mask is 0, and with
// ERROR_OPERATION_ABORTED when the handle is closed during the wait.
BOOL WaitCommEvent(HANDLE port, DWORD* event, LPVOID overlapped);

namespace platform {

struct SerialQueue;

// A simulated device on the other end of a serial line. The port calls the
// On... hooks, one at a time, on the thread that opened, wrote to, set or
// closed the port; a hook may call Send. Send feeds the port's receive queue
// and wakes its readers; it may be called from any thread. A peer serves one
// port at a time.
class SerialPeer {
public:
    SerialPeer() = default;
    SerialPeer(const SerialPeer&) = delete;
    SerialPeer& operator=(const SerialPeer&) = delete;
    virtual ~SerialPeer() = default;

    // The unit opened the port.
    virtual void OnOpen() {}
    // Bytes the unit wrote.
    virtual void OnReceive(const BYTE* data, std::size_t size) { (void)data, (void)size; }
    // The unit closed the port.
    virtual void OnClose() {}
    // The unit changed the line settings.
    virtual void OnStateChange(const DCB& dcb) { (void)dcb; }
    // The unit raised or dropped DTR or RTS (SETDTR, CLRDTR, SETRTS, CLRRTS).
    virtual void OnEscape(DWORD function) { (void)function; }

    // Sends bytes to the unit. Returns how many the port took: 0 while the
    // port is closed (the bytes are lost, as on a wire nobody listens to),
    // fewer when its receive queue is full (the port then reports
    // CE_RXOVER).
    std::size_t Send(const BYTE* data, std::size_t size);
    bool IsOpen() const;
    // Modem lines as the unit last set them; both are on after open.
    bool Dtr() const;
    bool Rts() const;

private:
    friend class SimSerialPort;
    mutable std::mutex m_link;
    std::shared_ptr<SerialQueue> m_queue; // of the open port, else null
};

// Registers the peer for a port ("COM1:" to "COM9:", any case); a null peer
// removes the registration. A port already open keeps the peer it opened
// with. False (ERROR_INVALID_NAME) for another name.
bool RegisterSerialPeer(LPCWSTR port, std::shared_ptr<SerialPeer> peer);

// Number of serial reads and comm-event waits now waiting for bytes
// (diagnostics and tests).
std::size_t BlockedSerialReaderCount();

} // namespace platform
