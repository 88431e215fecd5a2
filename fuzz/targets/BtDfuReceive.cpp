// What the Bluetooth module sends during a firmware download: H4 events,
// then BCSP frames. The first input byte picks where the link starts (H4;
// BCSP link establishment; DFU requests), reached through a valid exchange;
// the second splits the rest into chunks, as reads from the port would.
// Whatever comes, every frame the link sends is a sound BCSP packet (or one
// of its H4 commands), it never sends past the image, and a transfer size
// it took is one it can send.
#include "fuzz/FuzzTarget.h"
#include "updater/Bcsp.h"
#include "updater/DfuLink.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Four H4 events that take the link from request 1 to BCSP link
// establishment.
Bytes H4Prefix()
{
    static constexpr std::uint8_t kEvent[] = {0x04, 0x0F, 0x04, 0x00, 0x01, 0x00, 0xFC};
    Bytes bytes;
    bytes.reserve(4 * sizeof kEvent);
    for (int i = 0; i < 4; ++i)
        bytes.insert(bytes.end(), std::begin(kEvent), std::end(kEvent));
    return bytes;
}

// The module's side of link establishment that sets all four marks.
Bytes LinkPrefix()
{
    Bytes bytes;
    for (bcsp::LinkMessage m : {bcsp::LinkMessage::Sync, bcsp::LinkMessage::SyncResponse, bcsp::LinkMessage::Sync,
                                bcsp::LinkMessage::ConfResponse, bcsp::LinkMessage::Conf}) {
        const Bytes frame = bcsp::LinkFrame(m);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

// Checks what the link writes; it always goes out.
bool SoundWrite(const std::uint8_t* data, std::size_t size)
{
    if (size == 13 && data[0] == 0x01)
        return true; // an H4 vendor command
    bcsp::CBcspDecoder decoder;
    int packets = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const auto result = decoder.Push(data[i]);
        FUZZ_CHECK(result != bcsp::CBcspDecoder::Result::Bad);
        if (result == bcsp::CBcspDecoder::Result::Packet)
            ++packets;
    }
    FUZZ_CHECK(packets == 1);
    return true;
}

} // namespace

WREN_FUZZ_TARGET(BtDfuReceive)
{
    if (size < 2)
        return 0;
    const int start = data[0] % 3;
    const std::size_t chunk = data[1] ? data[1] : 256;
    data += 2;
    size -= 2;

    static const Bytes image = [] {
        Bytes bytes(3000);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 7);
        return bytes;
    }();
    CDfuLink link([](const std::uint8_t* bytes, std::size_t n) { return SoundWrite(bytes, n); },
                  [](bool) { return true; });
    FUZZ_CHECK(link.Start(image.data(), image.size()));
    if (start >= 1) {
        const Bytes prefix = H4Prefix();
        FUZZ_CHECK(link.DispatchReceivedData(prefix.data(), prefix.size()));
        FUZZ_CHECK(link.Mode() == DfuLinkMode::BcspLink);
    }
    if (start >= 2) {
        const Bytes prefix = LinkPrefix();
        FUZZ_CHECK(link.DispatchReceivedData(prefix.data(), prefix.size()));
        FUZZ_CHECK(link.Mode() == DfuLinkMode::BcspData);
    }
    for (std::size_t at = 0; at < size && !link.Stopped(); at += chunk) {
        link.DispatchReceivedData(data + at, std::min(chunk, size - at));
        link.Poll();
        FUZZ_CHECK(link.BytesSent() <= link.ImageSize());
        FUZZ_CHECK(link.TransferSize() <= CDfuLink::kMaxTransferSize);
    }
    if (link.Complete())
        FUZZ_CHECK(link.Stopped() && link.Error() == DfuLinkError::None);
    return 0;
}
