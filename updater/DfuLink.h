// The Bluetooth module's firmware download protocol, without the port: the
// H4 vendor requests that put the module into its DFU loader, BCSP link
// establishment, and the USB DFU 1.1 request sequence over BCSP channel 12.
// It is fed the bytes received (DispatchReceivedData) and writes what it
// sends through the writer it was given. Not thread-safe: the download
// holds one lock around every call.
#pragma once

#include "platform/base/Types.h"
#include "updater/Bcsp.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// The link's modes.
enum class DfuLinkMode : int {
    H4 = 1,
    BcspLink = 2, // BCSP link establishment
    BcspData = 3, // DFU requests over BCSP
};

// The requests of the download, by their codes: 1-4 are H4 vendor commands,
// 5-11 DFU requests over BCSP; each is named after its bRequest.
enum class DfuRequest : int {
    None = 0,
    H4Vendor8 = 1,
    H4Vendor9 = 2,
    H4Detach = 3,
    H4Vendor7 = 4,
    Vendor8 = 5,
    GetStatus = 6,
    Vendor9 = 7, // answers the transfer size
    Download = 8,
    DownloadEnd = 9,
    Vendor7 = 10, // ends the download
    ClearStatus = 11,
};

// USB DFU 1.1 device states.
enum class DfuState : BYTE {
    AppIdle = 0,
    AppDetach = 1,
    DfuIdle = 2,
    DnloadSync = 3,
    DnBusy = 4,
    DnloadIdle = 5,
    ManifestSync = 6,
    Manifest = 7,
    ManifestWaitReset = 8,
    UploadIdle = 9,
    DfuError = 10,
};

// Why a download failed.
enum class DfuLinkError : int {
    None = 0,
    H4Connection = 1,
    BcspSync = 2,
    BcspConnection = 3,
    DfuRefused = 4, // the module kept reporting dfuERROR or sent what the download cannot use
};

class CDfuLink {
public:
    using Writer = std::function<bool(const BYTE* data, std::size_t size)>;
    // Switches the line to even parity (true) or none (false).
    using ParitySwitch = std::function<bool(bool even)>;

    // The largest transfer size: a download request's payload is the 8-byte
    // setup packet and the data, at most a BCSP payload.
    static constexpr std::size_t kMaxTransferSize = bcsp::kMaxPayload - 8;
    // An unacknowledged reliable packet goes out again after this long; an
    // acknowledged request whose response has not come, after the longer
    // time (an acknowledgement number repeats every eight packets, so a late
    // acknowledgement can look like the one we wait for).
    static constexpr DWORD kRetransmitMs = 250;
    static constexpr DWORD kResponseTimeoutMs = 1000;
    // A module that reports dfuERROR more often than this fails the download.
    static constexpr int kMaxDfuErrors = 8;

    CDfuLink(Writer writer, ParitySwitch parity);

    // Starts a download of the image (kept by the caller while the link
    // runs): H4 mode, request 1 sent. False when it could not be written.
    bool Start(const BYTE* image, std::size_t size);
    // Feeds received bytes to the receiver of the link mode; false when the
    // download failed (Error() says why).
    bool DispatchReceivedData(const BYTE* data, std::size_t size);
    // Sends the unacknowledged reliable packet again when it is due.
    void Poll();
    // Ends the download as failed because the module stayed silent: the
    // error is that of the mode the link is in.
    void TimeOut();

    DfuLinkMode Mode() const { return m_mode; }
    DfuRequest Request() const { return m_request; }
    bool Downloading() const { return m_phase == Phase::Downloading; }
    bool Complete() const { return m_complete; }
    bool Stopped() const { return m_stop; }
    DfuLinkError Error() const { return m_error; }
    std::size_t BytesSent() const { return m_bytesSent; }
    std::size_t ImageSize() const { return m_imageSize; }
    std::size_t TransferSize() const { return m_transferSize; }
    BYTE DfuStateByte() const { return m_dfuState; }
    int DfuErrorCount() const { return m_dfuErrors; }
    int Retransmissions() const { return m_retransmissions; }
    int DroppedFrames() const { return m_droppedFrames; }

private:
    enum class Phase {
        BeforeDownload,
        Downloading,
        AfterLastBlock,
        Done,
    };

    bool Fail(DfuLinkError error);
    bool Write(const std::vector<BYTE>& bytes);

    bool ParseH4Byte(BYTE byte);
    bool HandleH4Event();
    bool SendH4Request(DfuRequest request);

    bool ParseBcspByte(BYTE byte);
    bool HandleBcspPacket();
    bool HandleBcspLinkMessage(bcsp::LinkMessage message);
    bool HandleBcspDfuResponse(const BYTE* payload, std::size_t size);
    bool SendLink(bcsp::LinkMessage message);
    bool SendAcknowledgement();
    bool SendDfuRequest(DfuRequest request, WORD value = 0, const BYTE* data = nullptr, std::size_t size = 0);
    bool SendReliable();
    bool SendNextDfuBlock();
    bool ResendDfuBlock();
    bool SendDfuBlock(std::size_t offset, std::size_t size, WORD block);

    Writer m_writer;
    ParitySwitch m_parity;
    const BYTE* m_image = nullptr;
    std::size_t m_imageSize = 0;

    DfuLinkMode m_mode = DfuLinkMode::H4;
    DfuRequest m_request = DfuRequest::None;
    Phase m_phase = Phase::BeforeDownload;
    bool m_complete = false;
    bool m_stop = false;
    DfuLinkError m_error = DfuLinkError::None;

    // H4 event being received.
    std::array<BYTE, 3 + 255> m_h4{};
    std::size_t m_h4Count = 0;

    // BCSP.
    bcsp::CBcspDecoder m_decoder;
    BYTE m_sequence = 0;        // of our next reliable packet
    BYTE m_acknowledgement = 0; // the sequence number we expect next
    bool m_syncSent = false;    // a sync-response answered the module's sync
    bool m_syncResponseSeen = false;
    bool m_confResponseSent = false;
    bool m_confResponseSeen = false;
    int m_droppedFrames = 0;

    // The reliable packet in flight (one at a time).
    std::vector<BYTE> m_reliablePayload;
    BYTE m_reliableSequence = 0;
    bool m_unacknowledged = false;
    bool m_awaitingResponse = false;
    std::uint64_t m_sentAtMs = 0;
    int m_retransmissions = 0;

    // DFU.
    WORD m_blockCounter = 0;
    std::size_t m_transferSize = 0;
    std::size_t m_bytesSent = 0;
    std::size_t m_blockOffset = 0; // of the data block last sent, for a retry
    std::size_t m_blockSize = 0;
    bool m_lastBlock = false;
    bool m_statusCleared = false; // a CLRSTATUS was answered since the block went out
    BYTE m_dfuState = 0;
    int m_dfuErrors = 0;
};
