// The navigation program's notifications as the link reads them: any
// sequence of codes and values, each 6 bytes (code - 1000 as a 16-bit
// number, the value as a 32-bit one, little-endian). Without a window
// "Lumo" nothing is ever sent; a code outside 1001-1027 is refused and
// changes nothing; the layout states stay within their ranges, the hold
// flag follows the last hold notice, and a start clears a pending close.
#include "Lib_cpp/core/ActionCodes.h"
#include "Source/shell/LumoBridge.h"
#include "fuzz/FuzzTarget.h"

namespace {

class Owner : public CLumoOwner {
public:
    void AddRef() override {}
    int Release() override { return 1; }
    void OnLumoNotice(LumoNotice) override {}
    BOOL IsNaviEnabled() const override { return TRUE; }
    BOOL IsCallActive() const override { return FALSE; }
    BOOL IsGuidanceAllowed() const override { return TRUE; }
};

} // namespace

WREN_FUZZ_TARGET(LumoNotices)
{
    Owner owner;
    LumoBridge bridge(&owner);
    const LPARAM reset[3] = {0, static_cast<LPARAM>(NaviNotice::HoldOff), 0};
    bridge.Notify(AEV_ARGS, reset);
    BOOL held = FALSE;
    for (std::size_t at = 0; at + 6 <= size; at += 6) {
        const int code = 1000 + static_cast<std::int16_t>(data[at] | data[at + 1] << 8);
        const auto value = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(data[at + 2]) | static_cast<std::uint32_t>(data[at + 3]) << 8
            | static_cast<std::uint32_t>(data[at + 4]) << 16 | static_cast<std::uint32_t>(data[at + 5]) << 24);
        // Requests of the unit between the notices.
        if (value == 7)
            bridge.RequestClose(2);
        else if (value == 8)
            bridge.ShowDeferred(LUMO_PIP);
        const int wish = bridge.GetLayoutWish();
        const int layout = bridge.GetProgramLayout();
        const BOOL pending = bridge.IsClosePending();
        const LPARAM record[3] = {0, code, value};
        const BOOL taken = bridge.Notify(AEV_ARGS, record);
        FUZZ_CHECK(taken == (code >= 1001 && code <= 1027));
        if (!taken) {
            FUZZ_CHECK(bridge.GetLayoutWish() == wish);
            FUZZ_CHECK(bridge.GetProgramLayout() == layout);
            FUZZ_CHECK(bridge.IsClosePending() == pending);
        }
        if (code == 1020)
            held = TRUE;
        else if (code == 1021 || code == 1027)
            held = FALSE;
        if (code == 1013)
            FUZZ_CHECK(!bridge.IsClosePending());
        FUZZ_CHECK(LumoBridge::IsNaviHeld() == held);
        FUZZ_CHECK(LumoBridge::GetNaviWindow() == nullptr);
        FUZZ_CHECK(bridge.GetLayoutWish() >= LUMO_HIDDEN && bridge.GetLayoutWish() <= LUMO_PIP);
        FUZZ_CHECK(bridge.GetProgramLayout() >= LUMO_FULL && bridge.GetProgramLayout() <= LUMO_PIP2);
    }
    return 0;
}
