// BCSP, the link the Bluetooth module's DFU loader speaks on its serial
// line: packets of a 4-byte header, a payload and a 2-byte CRC, framed with
// SLIP. The header carries the sequence and acknowledgement numbers (3 bits
// each), the CRC-present and reliable flags, the channel (4 bits), the
// payload length (12 bits) and a checksum byte. The CRC is CRC-CCITT over
// header and payload with every byte bit-reversed, sent high byte first.
// CBcspDecoder takes a received byte stream apart into checked packets.
#pragma once

#include "platform/base/Types.h"

#include <array>
#include <cstddef>
#include <vector>

namespace bcsp {

inline constexpr BYTE kSlipEnd = 0xC0;
inline constexpr BYTE kSlipEscape = 0xDB;
inline constexpr BYTE kSlipEscapedEnd = 0xDC;
inline constexpr BYTE kSlipEscapedEscape = 0xDD;

inline constexpr std::size_t kHeaderSize = 4;
inline constexpr std::size_t kCrcSize = 2;
inline constexpr std::size_t kMaxPayload = 0xFFF; // 12-bit length
inline constexpr std::size_t kMaxPacket = kHeaderSize + kMaxPayload + kCrcSize;
inline constexpr BYTE kSequenceModulo = 8;

enum class Channel : BYTE {
    Acknowledgement = 0,
    LinkEstablishment = 1,
    Dfu = 12,
};

struct Header {
    BYTE sequence = 0;        // 0-7
    BYTE acknowledgement = 0; // 0-7: the next sequence number expected from the peer
    bool crc = true;
    bool reliable = false;
    BYTE channel = 0; // 0-15
    WORD length = 0;  // payload bytes, 0-4095
};

// CRC-CCITT (0x1021, most significant bit first, initial 0xFFFF, no final
// complement) over the bytes, each bit-reversed before it enters.
WORD Crc(const BYTE* data, std::size_t size);

std::array<BYTE, kHeaderSize> EncodeHeader(const Header& header);
// False when the checksum byte does not match.
bool DecodeHeader(const BYTE* bytes, Header* header);

// The whole SLIP frame of a packet; header.length is set from the payload
// (at most kMaxPayload bytes).
std::vector<BYTE> EncodePacket(Header header, const BYTE* payload, std::size_t size);

// Link-establishment messages, channel 1, unreliable, with CRC.
enum class LinkMessage {
    Sync,
    SyncResponse,
    Conf,
    ConfResponse,
};
inline constexpr std::size_t kLinkPayloadSize = 4;
const std::array<BYTE, kLinkPayloadSize>& LinkPayload(LinkMessage message);
std::vector<BYTE> LinkFrame(LinkMessage message);
// False for a payload that is none of the four.
bool ParseLinkMessage(const BYTE* payload, std::size_t size, LinkMessage* message);

// Takes SLIP frames out of a byte stream and checks them. A frame is
// dropped when it is longer than the largest packet, when an escape is not
// one of the two, when its header checksum, its length or (when present)
// its CRC is wrong.
class CBcspDecoder {
public:
    enum class Result {
        None,   // the byte was taken, no frame ended
        Packet, // a checked packet is ready (Packet(), Payload())
        Bad,    // a frame was dropped
    };

    Result Push(BYTE byte);
    // Forgets the frame under way and skips to the next 0xC0.
    void Reset();

    const Header& Packet() const { return m_header; }
    const BYTE* Payload() const { return m_frame.data() + kHeaderSize; }
    std::size_t PayloadSize() const { return m_header.length; }

private:
    Result EndFrame();

    enum class State {
        Hunt,    // before the first 0xC0
        InFrame, // collecting
        Escape,  // after 0xDB
    };
    State m_state = State::Hunt;
    std::array<BYTE, kMaxPacket> m_frame{};
    std::size_t m_size = 0;
    bool m_overflow = false;
    Header m_header;
};

} // namespace bcsp
