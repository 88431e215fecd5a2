#include "updater/Bcsp.h"

#include <algorithm>

namespace bcsp {

namespace {

BYTE Reverse(BYTE b)
{
    b = static_cast<BYTE>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<BYTE>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return static_cast<BYTE>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

struct CrcTable {
    std::array<WORD, 256> entries{};
    CrcTable()
    {
        for (unsigned i = 0; i < 256; ++i) {
            unsigned crc = i << 8;
            for (int bit = 0; bit < 8; ++bit)
                crc = crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1;
            entries[i] = static_cast<WORD>(crc);
        }
    }
};

void SlipAppend(std::vector<BYTE>& out, BYTE b)
{
    if (b == kSlipEnd) {
        out.push_back(kSlipEscape);
        out.push_back(kSlipEscapedEnd);
    } else if (b == kSlipEscape) {
        out.push_back(kSlipEscape);
        out.push_back(kSlipEscapedEscape);
    } else {
        out.push_back(b);
    }
}

constexpr std::array<BYTE, kLinkPayloadSize> kLinkPayloads[] = {
    {0xDA, 0xDC, 0xED, 0xED}, // sync
    {0xAC, 0xAF, 0xEF, 0xEE}, // sync-response
    {0xAD, 0xEF, 0xAC, 0xED}, // conf
    {0xDE, 0xAD, 0xD0, 0xD0}, // conf-response
};

} // namespace

WORD Crc(const BYTE* data, std::size_t size)
{
    static const CrcTable table;
    WORD crc = 0xFFFF;
    for (std::size_t i = 0; i < size; ++i)
        crc = static_cast<WORD>(crc << 8 ^ table.entries[(crc >> 8 ^ Reverse(data[i])) & 0xFF]);
    return crc;
}

std::array<BYTE, kHeaderSize> EncodeHeader(const Header& header)
{
    std::array<BYTE, kHeaderSize> bytes{};
    bytes[0] = static_cast<BYTE>((header.sequence & 7) | (header.acknowledgement & 7) << 3 | (header.crc ? 0x40 : 0)
                                 | (header.reliable ? 0x80 : 0));
    bytes[1] = static_cast<BYTE>((header.channel & 0x0F) | (header.length & 0x0F) << 4);
    bytes[2] = static_cast<BYTE>(header.length >> 4);
    bytes[3] = static_cast<BYTE>(0xFF - ((bytes[0] + bytes[1] + bytes[2]) & 0xFF));
    return bytes;
}

bool DecodeHeader(const BYTE* bytes, Header* header)
{
    if (static_cast<BYTE>(bytes[0] + bytes[1] + bytes[2] + bytes[3]) != 0xFF)
        return false;
    header->sequence = bytes[0] & 7;
    header->acknowledgement = (bytes[0] >> 3) & 7;
    header->crc = bytes[0] & 0x40;
    header->reliable = bytes[0] & 0x80;
    header->channel = bytes[1] & 0x0F;
    header->length = static_cast<WORD>(bytes[1] >> 4 | bytes[2] << 4);
    return true;
}

std::vector<BYTE> EncodePacket(Header header, const BYTE* payload, std::size_t size)
{
    if (size > kMaxPayload)
        size = kMaxPayload;
    header.length = static_cast<WORD>(size);
    std::vector<BYTE> packet;
    const auto head = EncodeHeader(header);
    packet.insert(packet.end(), head.begin(), head.end());
    if (size)
        packet.insert(packet.end(), payload, payload + size);
    if (header.crc) {
        const WORD crc = Crc(packet.data(), packet.size());
        packet.push_back(static_cast<BYTE>(crc >> 8));
        packet.push_back(static_cast<BYTE>(crc));
    }
    std::vector<BYTE> frame;
    frame.reserve(packet.size() + 8);
    frame.push_back(kSlipEnd);
    for (BYTE b : packet)
        SlipAppend(frame, b);
    frame.push_back(kSlipEnd);
    return frame;
}

const std::array<BYTE, kLinkPayloadSize>& LinkPayload(LinkMessage message)
{
    return kLinkPayloads[static_cast<int>(message)];
}

std::vector<BYTE> LinkFrame(LinkMessage message)
{
    Header header;
    header.channel = static_cast<BYTE>(Channel::LinkEstablishment);
    return EncodePacket(header, LinkPayload(message).data(), kLinkPayloadSize);
}

bool ParseLinkMessage(const BYTE* payload, std::size_t size, LinkMessage* message)
{
    if (size != kLinkPayloadSize)
        return false;
    for (int i = 0; i < 4; ++i) {
        if (std::equal(kLinkPayloads[i].begin(), kLinkPayloads[i].end(), payload)) {
            *message = static_cast<LinkMessage>(i);
            return true;
        }
    }
    return false;
}

CBcspDecoder::Result CBcspDecoder::Push(BYTE byte)
{
    switch (m_state) {
    case State::Hunt:
        if (byte == kSlipEnd) {
            m_state = State::InFrame;
            m_size = 0;
            m_overflow = false;
        }
        return Result::None;
    case State::Escape:
        if (byte != kSlipEscapedEnd && byte != kSlipEscapedEscape) {
            Reset();
            return Result::Bad;
        }
        byte = byte == kSlipEscapedEnd ? kSlipEnd : kSlipEscape;
        m_state = State::InFrame;
        break;
    case State::InFrame:
        if (byte == kSlipEnd)
            return EndFrame();
        if (byte == kSlipEscape) {
            m_state = State::Escape;
            return Result::None;
        }
        break;
    }
    if (m_size < m_frame.size())
        m_frame[m_size++] = byte;
    else
        m_overflow = true;
    return Result::None;
}

void CBcspDecoder::Reset()
{
    m_state = State::Hunt;
    m_size = 0;
    m_overflow = false;
}

CBcspDecoder::Result CBcspDecoder::EndFrame()
{
    // The 0xC0 that closes a frame may open the next one.
    const std::size_t size = m_size;
    const bool overflow = m_overflow;
    m_size = 0;
    m_overflow = false;
    if (size == 0)
        return Result::None; // back-to-back delimiters
    Header header;
    if (overflow || size < kHeaderSize || !DecodeHeader(m_frame.data(), &header))
        return Result::Bad;
    if (size != kHeaderSize + header.length + (header.crc ? kCrcSize : 0))
        return Result::Bad;
    if (header.crc) {
        const std::size_t covered = kHeaderSize + header.length;
        const WORD crc = static_cast<WORD>(m_frame[covered] << 8 | m_frame[covered + 1]);
        if (Crc(m_frame.data(), covered) != crc)
            return Result::Bad;
    }
    m_header = header;
    return Result::Packet;
}

} // namespace bcsp
