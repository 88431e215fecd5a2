// The BCSP codec against packets built here from the link's rules: header
// bits and checksum, CRC-CCITT over bit-reversed bytes sent high byte
// first, SLIP escapes.
#include "updater/Bcsp.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

// CRC-CCITT bit by bit: polynomial 0x1021, most significant bit first,
// initial 0xFFFF, no final complement, each byte bit-reversed first.
WORD ReferenceCrc(const Bytes& data)
{
    unsigned crc = 0xFFFF;
    for (BYTE b : data) {
        unsigned reversed = 0;
        for (int bit = 0; bit < 8; ++bit)
            if (b & (1 << bit))
                reversed |= 0x80 >> bit;
        for (int bit = 7; bit >= 0; --bit) {
            const bool top = ((crc >> 15) & 1) ^ ((reversed >> bit) & 1);
            crc = (crc << 1) & 0xFFFF;
            if (top)
                crc ^= 0x1021;
        }
    }
    return static_cast<WORD>(crc);
}

Bytes ReferenceFrame(int sequence, int ack, bool reliable, int channel, const Bytes& payload)
{
    Bytes packet(4);
    packet[0] = static_cast<BYTE>(sequence + ack * 8 + 0x40 + (reliable ? 0x80 : 0));
    packet[1] = static_cast<BYTE>(channel + (payload.size() % 16) * 16);
    packet[2] = static_cast<BYTE>(payload.size() / 16);
    packet[3] = static_cast<BYTE>(0xFF - (packet[0] + packet[1] + packet[2]) % 256);
    packet.insert(packet.end(), payload.begin(), payload.end());
    const WORD crc = ReferenceCrc(packet);
    packet.push_back(static_cast<BYTE>(crc / 256));
    packet.push_back(static_cast<BYTE>(crc % 256));
    Bytes frame{0xC0};
    for (BYTE b : packet) {
        if (b == 0xC0)
            frame.insert(frame.end(), {0xDB, 0xDC});
        else if (b == 0xDB)
            frame.insert(frame.end(), {0xDB, 0xDD});
        else
            frame.push_back(b);
    }
    frame.push_back(0xC0);
    return frame;
}

Bytes Encode(int sequence, int ack, bool reliable, int channel, const Bytes& payload)
{
    bcsp::Header header;
    header.sequence = static_cast<BYTE>(sequence);
    header.acknowledgement = static_cast<BYTE>(ack);
    header.reliable = reliable;
    header.channel = static_cast<BYTE>(channel);
    return bcsp::EncodePacket(header, payload.data(), payload.size());
}

// Feeds bytes; the packets that came out whole.
struct Decoded {
    std::vector<bcsp::Header> headers;
    std::vector<Bytes> payloads;
    int bad = 0;
};

Decoded Decode(const Bytes& bytes)
{
    bcsp::CBcspDecoder decoder;
    Decoded out;
    for (BYTE b : bytes) {
        switch (decoder.Push(b)) {
        case bcsp::CBcspDecoder::Result::Packet:
            out.headers.push_back(decoder.Packet());
            out.payloads.emplace_back(decoder.Payload(), decoder.Payload() + decoder.PayloadSize());
            break;
        case bcsp::CBcspDecoder::Result::Bad:
            ++out.bad;
            break;
        case bcsp::CBcspDecoder::Result::None:
            break;
        }
    }
    return out;
}

Bytes Counting(std::size_t size, BYTE first = 0)
{
    Bytes bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

} // namespace

TEST(Bcsp, CrcFollowsTheBitReversedCcittRule)
{
    for (const Bytes& data : {Bytes{}, Bytes{0x00}, Bytes{0x80}, Bytes{'1', '2', '3', '4', '5', '6', '7', '8', '9'},
                              Bytes{0x40, 0x41, 0x00, 0x7E, 0xDA, 0xDC, 0xED, 0xED}, Counting(300, 7)})
        EXPECT_EQ(bcsp::Crc(data.data(), data.size()), ReferenceCrc(data)) << data.size();
}

TEST(Bcsp, TheFourLinkFramesAreReproducedByteForByte)
{
    struct Case {
        bcsp::LinkMessage message;
        Bytes payload;
        Bytes frame;
    };
    const Case cases[] = {
        {bcsp::LinkMessage::Sync,
         {0xDA, 0xDC, 0xED, 0xED},
         {0xC0, 0x40, 0x41, 0x00, 0x7E, 0xDA, 0xDC, 0xED, 0xED, 0xA9, 0x7A, 0xC0}},
        {bcsp::LinkMessage::SyncResponse,
         {0xAC, 0xAF, 0xEF, 0xEE},
         {0xC0, 0x40, 0x41, 0x00, 0x7E, 0xAC, 0xAF, 0xEF, 0xEE, 0xBB, 0x84, 0xC0}},
        {bcsp::LinkMessage::Conf,
         {0xAD, 0xEF, 0xAC, 0xED},
         {0xC0, 0x40, 0x41, 0x00, 0x7E, 0xAD, 0xEF, 0xAC, 0xED, 0xA1, 0xA6, 0xC0}},
        {bcsp::LinkMessage::ConfResponse,
         {0xDE, 0xAD, 0xD0, 0xD0},
         {0xC0, 0x40, 0x41, 0x00, 0x7E, 0xDE, 0xAD, 0xD0, 0xD0, 0x83, 0x58, 0xC0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReferenceFrame(0, 0, false, 1, c.payload), c.frame);
        EXPECT_EQ(bcsp::LinkFrame(c.message), c.frame);
        const Decoded decoded = Decode(c.frame);
        ASSERT_EQ(decoded.payloads.size(), 1u);
        bcsp::LinkMessage message;
        ASSERT_TRUE(bcsp::ParseLinkMessage(decoded.payloads[0].data(), decoded.payloads[0].size(), &message));
        EXPECT_EQ(message, c.message);
    }
    const Bytes other{0xDA, 0xDC, 0xED, 0xEE};
    bcsp::LinkMessage message;
    EXPECT_FALSE(bcsp::ParseLinkMessage(other.data(), other.size(), &message));
}

TEST(Bcsp, PacketsEncodeByTheRulesAndDecodeBack)
{
    struct Case {
        int sequence, ack;
        bool reliable;
        int channel;
        Bytes payload;
    };
    const Case cases[] = {
        {0, 3, false, 0, {}},                                   // a bare acknowledgement
        {7, 7, true, 12, {0xA1, 0x03, 0, 0, 0, 0, 6, 0}},       // the highest numbers
        {2, 5, true, 12, {0xC0, 0xDB, 0x00, 0xC0, 0xDB, 0xDC}}, // escapes in the payload
        {1, 0, true, 12, Counting(0x0C0)},                      // length 0x0C0 puts 0xC0 in the header
        {4, 1, true, 12, Counting(bcsp::kMaxPayload, 0x55)},    // the largest payload
        {3, 6, false, 1, {0xDE, 0xAD, 0xD0, 0xD0}},
    };
    for (const Case& c : cases) {
        const Bytes frame = Encode(c.sequence, c.ack, c.reliable, c.channel, c.payload);
        EXPECT_EQ(frame, ReferenceFrame(c.sequence, c.ack, c.reliable, c.channel, c.payload)) << c.payload.size();
        // No delimiter inside the frame.
        EXPECT_EQ(std::count(frame.begin() + 1, frame.end() - 1, 0xC0), 0);
        const Decoded decoded = Decode(frame);
        ASSERT_EQ(decoded.headers.size(), 1u);
        EXPECT_EQ(decoded.bad, 0);
        const bcsp::Header& h = decoded.headers[0];
        EXPECT_EQ(h.sequence, c.sequence);
        EXPECT_EQ(h.acknowledgement, c.ack);
        EXPECT_EQ(h.reliable, c.reliable);
        EXPECT_TRUE(h.crc);
        EXPECT_EQ(h.channel, c.channel);
        EXPECT_EQ(decoded.payloads[0], c.payload);
    }
}

TEST(Bcsp, DamagedFramesAreDroppedAndTheNextFrameStillDecodes)
{
    const Bytes good = Encode(5, 2, true, 12, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    const auto damaged = [&](std::size_t at, BYTE value) {
        Bytes frame = good;
        frame[at] = value;
        return frame;
    };
    Bytes headerOnly(good.begin(), good.begin() + 5); // the header says 9 bytes, none come
    headerOnly.push_back(0xC0);
    Bytes overlong{0xC0};
    overlong.insert(overlong.end(), bcsp::kMaxPacket + 1, 0x11);
    overlong.push_back(0xC0);
    const Bytes cases[] = {
        damaged(1, good[1] ^ 0x01),                          // header checksum
        damaged(7, good[7] ^ 0x20),                          // payload under the CRC
        damaged(good.size() - 2, good[good.size() - 2] ^ 1), // the CRC itself
        damaged(6, 0xDB),                                    // an escape of nothing known
        headerOnly,
        overlong,
        Bytes{0xC0, 0x01, 0x02, 0xC0}, // shorter than a header
    };
    for (const Bytes& bad : cases) {
        Bytes stream = bad;
        stream.insert(stream.end(), good.begin(), good.end());
        const Decoded decoded = Decode(stream);
        EXPECT_EQ(decoded.bad, 1) << bad.size();
        ASSERT_EQ(decoded.payloads.size(), 1u) << bad.size();
        EXPECT_EQ(decoded.payloads[0], (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    }
    // Noise before the first delimiter and doubled delimiters are not frames.
    const Bytes noise{0x12, 0x34, 0xDB, 0xC0};
    Bytes noisy;
    for (const Bytes* part : {&noise, &good, &good})
        noisy.insert(noisy.end(), part->begin(), part->end());
    const Decoded decoded = Decode(noisy);
    EXPECT_EQ(decoded.bad, 0);
    EXPECT_EQ(decoded.payloads.size(), 2u);
}
