#include "updater/DfuLink.h"

#include "platform/base/Clock.h"
#include "platform/base/Debug.h"

#include <algorithm>

namespace {

// An 8-byte USB setup packet.
struct Setup {
    BYTE requestType;
    BYTE request;
    WORD value;
    WORD index;
    WORD length;
};

constexpr BYTE kH4Command = 0x01;
constexpr BYTE kH4Event = 0x04;
constexpr BYTE kH4EventVendor = 0xFF;
constexpr BYTE kH4EventCommandStatus = 0x0F;
constexpr WORD kH4VendorOpcode = 0xFC00;
constexpr BYTE kH4VendorTag = 0xCC;
constexpr std::size_t kSetupSize = 8;
constexpr std::size_t kH4EventHead = 3; // 0x04, event code, parameter length

// The setup packet of a request (the data length of a download apart).
Setup SetupOf(DfuRequest request)
{
    switch (request) {
    case DfuRequest::H4Vendor8:
    case DfuRequest::Vendor8:
        return {0xC1, 8, 0, 0, 12};
    case DfuRequest::H4Vendor9:
        return {0xC1, 9, 0, 0, 12};
    case DfuRequest::H4Detach:
        return {0x21, 0, 5000, 0, 0}; // DFU_DETACH
    case DfuRequest::H4Vendor7:
    case DfuRequest::Vendor7:
        return {0x41, 7, 0, 0, 0};
    case DfuRequest::GetStatus:
        return {0xA1, 3, 0, 0, 6}; // DFU_GETSTATUS
    case DfuRequest::Vendor9:
        return {0xC1, 9, 0, 0, 6};
    case DfuRequest::Download:
    case DfuRequest::DownloadEnd:
        return {0x21, 1, 0, 0, 0}; // DFU_DNLOAD
    case DfuRequest::ClearStatus:
        return {0x0F, 4, 0, 0, 0}; // DFU_CLRSTATUS, with the module's request type
    case DfuRequest::None:
        break;
    }
    return {};
}

void AppendSetup(std::vector<BYTE>& out, const Setup& setup)
{
    out.push_back(setup.requestType);
    out.push_back(setup.request);
    for (WORD w : {setup.value, setup.index, setup.length}) {
        out.push_back(static_cast<BYTE>(w));
        out.push_back(static_cast<BYTE>(w >> 8));
    }
}

} // namespace

CDfuLink::CDfuLink(Writer writer, ParitySwitch parity) : m_writer(std::move(writer)), m_parity(std::move(parity)) {}

bool CDfuLink::Start(const BYTE* image, std::size_t size)
{
    m_image = image;
    m_imageSize = size;
    m_mode = DfuLinkMode::H4;
    if (!image || !size)
        return Fail(DfuLinkError::DfuRefused);
    return SendH4Request(DfuRequest::H4Vendor8) || Fail(DfuLinkError::H4Connection);
}

bool CDfuLink::Fail(DfuLinkError error)
{
    if (m_error == DfuLinkError::None)
        m_error = error;
    m_stop = true;
    m_unacknowledged = false;
    m_awaitingResponse = false;
    return false;
}

bool CDfuLink::Write(const std::vector<BYTE>& bytes)
{
    return m_writer && m_writer(bytes.data(), bytes.size());
}

bool CDfuLink::DispatchReceivedData(const BYTE* data, std::size_t size)
{
    if (m_stop)
        return m_error == DfuLinkError::None;
    for (std::size_t i = 0; i < size && !m_stop; ++i) {
        if (m_mode == DfuLinkMode::H4) {
            if (!ParseH4Byte(data[i])) {
                NKDbgPrintfW(u"FailData: ");
                for (std::size_t k = 0; k < size; ++k)
                    NKDbgPrintfW(u"0x%02x ", data[k]);
                NKDbgPrintfW(u"\n");
                return Fail(DfuLinkError::H4Connection);
            }
        } else if (!ParseBcspByte(data[i])) {
            return Fail(m_mode == DfuLinkMode::BcspLink ? DfuLinkError::BcspSync : DfuLinkError::BcspConnection);
        }
    }
    return m_error == DfuLinkError::None;
}

void CDfuLink::TimeOut()
{
    switch (m_mode) {
    case DfuLinkMode::H4:
        Fail(DfuLinkError::H4Connection);
        break;
    case DfuLinkMode::BcspLink:
        Fail(DfuLinkError::BcspSync);
        break;
    case DfuLinkMode::BcspData:
        Fail(DfuLinkError::BcspConnection);
        break;
    }
}

// ---- H4 ----

bool CDfuLink::SendH4Request(DfuRequest request)
{
    std::vector<BYTE> command = {kH4Command, static_cast<BYTE>(kH4VendorOpcode),
                                 static_cast<BYTE>(kH4VendorOpcode >> 8), 1 + kSetupSize, kH4VendorTag};
    AppendSetup(command, SetupOf(request));
    m_request = request;
    return Write(command);
}

bool CDfuLink::ParseH4Byte(BYTE byte)
{
    bool good = true;
    switch (m_h4Count) {
    case 0:
        good = byte == kH4Event;
        break;
    case 1:
        good = byte == kH4EventVendor || byte == kH4EventCommandStatus;
        break;
    case 2:
        good = byte > 3;
        break;
    case 3:
        good = byte == kH4VendorTag || byte == 0;
        break;
    default:
        break;
    }
    if (!good) {
        NKDbgPrintfW(u"ERROR H4  h4_flow_count: %d \n", static_cast<int>(m_h4Count));
        m_h4Count = 0;
        return false;
    }
    m_h4[m_h4Count++] = byte;
    if (m_h4Count < kH4EventHead + 1 || m_h4Count < kH4EventHead + m_h4[2])
        return true;
    m_h4Count = 0;
    return HandleH4Event();
}

bool CDfuLink::HandleH4Event()
{
    switch (m_request) {
    case DfuRequest::H4Vendor8:
        return SendH4Request(DfuRequest::H4Vendor9);
    case DfuRequest::H4Vendor9:
        return SendH4Request(DfuRequest::H4Detach);
    case DfuRequest::H4Detach:
        return SendH4Request(DfuRequest::H4Vendor7);
    case DfuRequest::H4Vendor7:
        // The module now runs its loader, which speaks BCSP with even parity
        // and starts link establishment.
        m_request = DfuRequest::None;
        m_mode = DfuLinkMode::BcspLink;
        m_decoder.Reset();
        return !m_parity || m_parity(true);
    default:
        NKDbgPrintfW(u"NONE_H4_COMMAND  \n");
        return true;
    }
}

// ---- BCSP ----

bool CDfuLink::ParseBcspByte(BYTE byte)
{
    switch (m_decoder.Push(byte)) {
    case bcsp::CBcspDecoder::Result::None:
        return true;
    case bcsp::CBcspDecoder::Result::Bad:
        // A damaged frame: the module sends it again.
        ++m_droppedFrames;
        return true;
    case bcsp::CBcspDecoder::Result::Packet:
        break;
    }
    return HandleBcspPacket();
}

bool CDfuLink::HandleBcspPacket()
{
    const bcsp::Header& header = m_decoder.Packet();
    const BYTE* payload = m_decoder.Payload();
    const std::size_t size = m_decoder.PayloadSize();
    bcsp::LinkMessage message;
    const bool link = header.channel == static_cast<BYTE>(bcsp::Channel::LinkEstablishment) && !header.reliable
        && bcsp::ParseLinkMessage(payload, size, &message);
    if (m_mode == DfuLinkMode::BcspLink) {
        if (!link)
            return false;
        NKDbgPrintfW(u"CHECK SLIP \n");
        return HandleBcspLinkMessage(message);
    }

    // Data mode. Any packet acknowledges our reliable one when it expects
    // the sequence number after it.
    if (m_unacknowledged && header.acknowledgement == (m_reliableSequence + 1) % bcsp::kSequenceModulo)
        m_unacknowledged = false;
    if (link) {
        // The module missed our conf-response and asks again.
        if (message == bcsp::LinkMessage::Conf)
            return SendLink(bcsp::LinkMessage::ConfResponse);
        return true;
    }
    if (!header.reliable)
        return true; // an acknowledgement
    if (header.sequence != m_acknowledgement)
        return SendAcknowledgement(); // a packet we had: tell the module again what we expect
    m_acknowledgement = (header.sequence + 1) % bcsp::kSequenceModulo;
    if (!SendAcknowledgement())
        return false;
    if (header.channel != static_cast<BYTE>(bcsp::Channel::Dfu))
        return true;
    // A response means the module has our request.
    m_unacknowledged = false;
    m_awaitingResponse = false;
    return HandleBcspDfuResponse(payload, size);
}

bool CDfuLink::HandleBcspLinkMessage(bcsp::LinkMessage message)
{
    bool sent = true;
    switch (message) {
    case bcsp::LinkMessage::Sync:
        if (m_syncResponseSeen) {
            sent = SendLink(bcsp::LinkMessage::SyncResponse);
            m_syncSent = true;
        } else {
            sent = SendLink(bcsp::LinkMessage::Sync);
        }
        break;
    case bcsp::LinkMessage::SyncResponse:
        NKDbgPrintfW(u"bcsp_sync_resp\n");
        sent = SendLink(bcsp::LinkMessage::Conf);
        m_syncResponseSeen = true;
        break;
    case bcsp::LinkMessage::Conf:
        if (m_confResponseSeen) {
            sent = SendLink(bcsp::LinkMessage::ConfResponse);
            m_confResponseSent = true;
        } else {
            sent = SendLink(bcsp::LinkMessage::Conf);
        }
        break;
    case bcsp::LinkMessage::ConfResponse:
        NKDbgPrintfW(u"bcsp_conf_resp\n");
        m_confResponseSeen = true;
        break;
    }
    if (!sent)
        return false;
    if (m_syncSent && m_syncResponseSeen && m_confResponseSent && m_confResponseSeen) {
        m_mode = DfuLinkMode::BcspData;
        return SendDfuRequest(DfuRequest::Vendor8);
    }
    return true;
}

bool CDfuLink::SendLink(bcsp::LinkMessage message)
{
    return Write(bcsp::LinkFrame(message));
}

bool CDfuLink::SendAcknowledgement()
{
    bcsp::Header header;
    header.acknowledgement = m_acknowledgement;
    header.channel = static_cast<BYTE>(bcsp::Channel::Acknowledgement);
    return Write(bcsp::EncodePacket(header, nullptr, 0));
}

bool CDfuLink::SendDfuRequest(DfuRequest request, WORD value, const BYTE* data, std::size_t size)
{
    Setup setup = SetupOf(request);
    setup.value = value;
    if (request == DfuRequest::Download)
        setup.length = static_cast<WORD>(size);
    if (request == DfuRequest::ClearStatus)
        NKDbgPrintfW(u"BCSP_DFU_CLR_STATUS_Request\n");
    m_reliablePayload.clear();
    AppendSetup(m_reliablePayload, setup);
    if (size)
        m_reliablePayload.insert(m_reliablePayload.end(), data, data + size);
    m_request = request;
    m_reliableSequence = m_sequence;
    m_sequence = (m_sequence + 1) % bcsp::kSequenceModulo;
    m_unacknowledged = true;
    m_awaitingResponse = true;
    return SendReliable();
}

bool CDfuLink::SendReliable()
{
    bcsp::Header header;
    header.sequence = m_reliableSequence;
    header.acknowledgement = m_acknowledgement;
    header.reliable = true;
    header.channel = static_cast<BYTE>(bcsp::Channel::Dfu);
    m_sentAtMs = platform::NowMs();
    return Write(bcsp::EncodePacket(header, m_reliablePayload.data(), m_reliablePayload.size()));
}

void CDfuLink::Poll()
{
    if (m_stop || !m_awaitingResponse)
        return;
    if (platform::NowMs() - m_sentAtMs < (m_unacknowledged ? kRetransmitMs : kResponseTimeoutMs))
        return;
    ++m_retransmissions;
    if (!SendReliable())
        Fail(DfuLinkError::BcspConnection);
}

// ---- DFU ----

bool CDfuLink::HandleBcspDfuResponse(const BYTE* payload, std::size_t size)
{
    const DfuRequest answered = m_request;
    // Responses begin with an 8-byte header; the data follows it.
    const bool hasState = size > kSetupSize;
    const DfuState state = hasState ? static_cast<DfuState>(payload[kSetupSize]) : DfuState::AppIdle;
    if (answered == DfuRequest::GetStatus) {
        if (!hasState) {
            NKDbgPrintfW(u"ERROR: DFU status without a state\n");
            return Fail(DfuLinkError::DfuRefused);
        }
        m_dfuState = payload[kSetupSize];
    }
    const auto clearError = [this] {
        if (++m_dfuErrors > kMaxDfuErrors) {
            NKDbgPrintfW(u"ERROR: DFU error state %d times\n", m_dfuErrors);
            return Fail(DfuLinkError::DfuRefused);
        }
        return SendDfuRequest(DfuRequest::ClearStatus);
    };

    switch (m_phase) {
    case Phase::BeforeDownload:
        switch (answered) {
        case DfuRequest::Vendor8:
            return SendDfuRequest(DfuRequest::Vendor9);
        case DfuRequest::Vendor9: {
            const std::size_t transfer = size >= kSetupSize + 2 ? payload[8] | payload[9] << 8 : 0;
            if (transfer < 1 || transfer > kMaxTransferSize) {
                NKDbgPrintfW(u"ERROR: Invalid transfer size %d\n", static_cast<int>(transfer));
                return Fail(DfuLinkError::DfuRefused);
            }
            m_transferSize = transfer;
            return SendDfuRequest(DfuRequest::GetStatus);
        }
        case DfuRequest::ClearStatus:
            return SendDfuRequest(DfuRequest::GetStatus);
        case DfuRequest::GetStatus:
            if (state == DfuState::DfuIdle) {
                m_phase = Phase::Downloading;
                return SendNextDfuBlock();
            }
            if (state == DfuState::DfuError)
                return clearError();
            return SendDfuRequest(DfuRequest::GetStatus);
        default:
            return true;
        }
    case Phase::Downloading:
        switch (answered) {
        case DfuRequest::ClearStatus:
            m_statusCleared = true;
            return SendDfuRequest(DfuRequest::GetStatus);
        case DfuRequest::Download:
            return SendDfuRequest(DfuRequest::GetStatus);
        case DfuRequest::GetStatus:
            if (state == DfuState::AppIdle || state == DfuState::DnloadIdle) {
                m_statusCleared = false;
                if (m_lastBlock)
                    return SendDfuRequest(DfuRequest::DownloadEnd, m_blockCounter);
                return SendNextDfuBlock();
            }
            if (state == DfuState::DfuError)
                return clearError();
            if (state == DfuState::DfuIdle && m_statusCleared) {
                // The module dropped the block that failed: it goes again.
                m_statusCleared = false;
                return ResendDfuBlock();
            }
            return SendDfuRequest(DfuRequest::GetStatus);
        case DfuRequest::DownloadEnd:
            m_phase = Phase::AfterLastBlock;
            return SendDfuRequest(DfuRequest::GetStatus);
        default:
            return true;
        }
    case Phase::AfterLastBlock:
        switch (answered) {
        case DfuRequest::GetStatus:
            if (state == DfuState::DfuIdle)
                return SendDfuRequest(DfuRequest::Vendor7);
            if (state == DfuState::DfuError) {
                NKDbgPrintfW(u"ERROR: the module refused the image\n");
                return Fail(DfuLinkError::DfuRefused);
            }
            return SendDfuRequest(DfuRequest::GetStatus);
        case DfuRequest::Vendor7:
            m_phase = Phase::Done;
            m_request = DfuRequest::None;
            m_complete = true;
            m_stop = true;
            if (m_parity)
                m_parity(false);
            return true;
        default:
            return true;
        }
    case Phase::Done:
        return true;
    }
    return true;
}

bool CDfuLink::SendNextDfuBlock()
{
    const std::size_t rest = m_imageSize - m_bytesSent;
    const std::size_t size = std::min(rest, m_transferSize);
    m_lastBlock = rest <= m_transferSize;
    m_blockOffset = m_bytesSent;
    m_blockSize = size;
    m_bytesSent += size;
    return SendDfuBlock(m_blockOffset, size, m_blockCounter++);
}

bool CDfuLink::ResendDfuBlock()
{
    return SendDfuBlock(m_blockOffset, m_blockSize, static_cast<WORD>(m_blockCounter - 1));
}

bool CDfuLink::SendDfuBlock(std::size_t offset, std::size_t size, WORD block)
{
    return SendDfuRequest(DfuRequest::Download, block, m_image + offset, size);
}
