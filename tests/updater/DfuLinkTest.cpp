// The download protocol on its own: what it writes for the H4 phase, and
// how a broken H4 event fails it.
#include "updater/DfuLink.h"

#include "platform/base/Debug.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

struct Wire {
    std::vector<Bytes> written;
    bool even = false;
    CDfuLink link{[this](const BYTE* data, std::size_t size) {
                      written.emplace_back(data, data + size);
                      return true;
                  },
                  [this](bool on) {
                      even = on;
                      return true;
                  }};
};

const Bytes kStatus = {0x04, 0x0F, 0x04, 0x00, 0x01, 0x00, 0xFC};
const Bytes kImage(100, 0x5A);

} // namespace

TEST(DfuLink, H4RequestsGoOutOneEventAtATimeThenTheLineTurnsToEvenParity)
{
    Wire wire;
    ASSERT_TRUE(wire.link.Start(kImage.data(), kImage.size()));
    const Bytes vendorEvent = {0x04, 0xFF, 0x05, 0xCC, 1, 2, 3, 4};
    for (const Bytes& event : {vendorEvent, kStatus, kStatus, kStatus})
        ASSERT_TRUE(wire.link.DispatchReceivedData(event.data(), event.size()));
    const std::vector<Bytes> expected = {
        {0x01, 0x00, 0xFC, 0x09, 0xCC, 0xC1, 8, 0, 0, 0, 0, 12, 0},
        {0x01, 0x00, 0xFC, 0x09, 0xCC, 0xC1, 9, 0, 0, 0, 0, 12, 0},
        {0x01, 0x00, 0xFC, 0x09, 0xCC, 0x21, 0, 0x88, 0x13, 0, 0, 0, 0},
        {0x01, 0x00, 0xFC, 0x09, 0xCC, 0x41, 7, 0, 0, 0, 0, 0, 0},
    };
    EXPECT_EQ(wire.written, expected);
    EXPECT_EQ(wire.link.Mode(), DfuLinkMode::BcspLink);
    EXPECT_TRUE(wire.even);
}

TEST(DfuLink, ABrokenH4EventFailsTheH4Connection)
{
    const struct {
        Bytes event;
        int place;
    } cases[] = {
        {{0x0E, 0x0F, 0x04, 0x00}, 0}, // not an event
        {{0x04, 0x0E, 0x04, 0x00}, 1}, // an event code not used here
        {{0x04, 0x0F, 0x03, 0x00}, 2}, // too short
        {{0x04, 0x0F, 0x04, 0x01}, 3}, // a refused command
    };
    for (const auto& c : cases) {
        platform::DebugCapture log;
        Wire wire;
        ASSERT_TRUE(wire.link.Start(kImage.data(), kImage.size()));
        EXPECT_FALSE(wire.link.DispatchReceivedData(c.event.data(), c.event.size()));
        EXPECT_TRUE(wire.link.Stopped());
        EXPECT_EQ(wire.link.Error(), DfuLinkError::H4Connection);
        EXPECT_TRUE(log.Contains("ERROR H4  h4_flow_count: " + std::to_string(c.place) + " ")) << log.Text();
        EXPECT_TRUE(log.Contains("FailData: "));
        EXPECT_EQ(wire.written.size(), 1u); // nothing after request 1
    }
}
