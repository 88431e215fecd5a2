// The DMB module's firmware download over the SPI link of the driver
// "DMB1:" (frames in DmbDriver.h): the module is readied and rebooted into
// its loader, told the image size, given the image in checksummed 12-byte
// blocks (each acknowledged; a refused block is sent again, at most 2000
// times in a download), then asked to check the image and, only when it
// reports the image good, to write it.
//
// Every command carries the next value of a 4-bit sequence counter; a
// response counts only when its sequence number, command id and type
// (response) match. An image whose length is not a whole number of 32-bit
// words is refused before the module is touched, and the last block is
// padded with zeros.
#pragma once

#include "platform/base/Types.h"
#include "platform/io/DmbDriver.h"

namespace updater {
inline constexpr const WCHAR* kDmbFile = u"\\_MAKE_TEMP_\\_DMB_.BIN";
} // namespace updater

class CDmbSpi {
public:
    static constexpr int kRebootTries = 10;
    static constexpr int kBootCheckTries = 5;
    static constexpr int kImageCheckTries = 25;
    static constexpr int kImageWriteTries = 25;
    static constexpr DWORD kMaxResends = 2000;

    CDmbSpi() = default;
    ~CDmbSpi();
    CDmbSpi(const CDmbSpi&) = delete;
    CDmbSpi& operator=(const CDmbSpi&) = delete;

    // Opens "DMB1:"; false when it cannot.
    BOOL OpenDmbSpi();
    void CloseDmbSpi();

    // Readies the module, reboots it into its loader, announces the image
    // and downloads it (UpdateFirmware). True when the module wrote it.
    BOOL Download(LPCWSTR path);

    // One command frame of count payload words, with the next sequence
    // number.
    BOOL DmbSpiSendCommand(DmbFrameType type, DmbCommand id, WORD count, const DWORD* payload);
    // Reads 4 + extra bytes of response into buffer (words).
    BOOL DmbSpiReadResponse(DWORD* buffer, DWORD extra);
    BOOL DmbSpiReadAck(DWORD* buffer, DWORD extra);
    // True when the response word answers the last command.
    BOOL DmbSpiCheckResponse(const DWORD* buffer, DmbFrameType type);
    // Reads up to 12 bytes of the image and sends them as a data frame: 3
    // when a whole block was read, 1 or 2 for the words of a last block
    // (the rest zeros), 0 when no word was left (nothing sent), -1 when the
    // read failed.
    int DmbSpiSendDataBlock(HANDLE file);
    // Writes the last data frame again, as it was.
    BOOL DmbSpiResend();
    BOOL DmbRebootModule();
    DWORD GetDmbImageSize(HANDLE file);
    // Sends the image file of size bytes, has the module check it and
    // write it.
    BOOL UpdateFirmware(LPCWSTR path, DWORD size);

    DWORD Resends() const { return m_resends; }

private:
    // Writes words as one frame; false on a failed or short write.
    BOOL WriteFrame(const DWORD* words, DWORD count);
    BOOL ReadWords(DWORD* buffer, DWORD extra);
    // Sends the command and reads its response; true when it is good.
    bool Ask(DmbCommand id, WORD count, const DWORD* payload, DWORD waitMs, DWORD* response, DWORD extra,
             bool* readFailed);

    HANDLE m_hDmb = INVALID_HANDLE_VALUE;
    BYTE m_lastId = 0;
    DWORD m_counter = 0; // low 4 bits go into each command
    DWORD m_frame[1 + kDmbDataWords + 1] = {};
    DWORD m_resends = 0;
};
