// The rear view's guide-line geometry as kept in the Misc record's payload
// (eight little-endian words): whatever the record holds, every value loads
// within its range (shapes and steps 0 to 9, cuts 0 to 6), a value in range
// loads as stored, and the up and down steps of every mode keep it there.
#include "Source/screens/settings/RearViewSheet.h"
#include "fuzz/FuzzTarget.h"

#include <cstring>

WREN_FUZZ_TARGET(RearViewGeometry)
{
    using RV = CRearViewSheet;
    BYTE payload[4 * RV::G_COUNT] = {};
    std::memcpy(payload, data, size < sizeof payload ? size : sizeof payload);
    int geometry[RV::G_COUNT];
    RV::LoadGeometry(payload, geometry);
    auto inRange = [&] {
        for (int i = 0; i < RV::G_COUNT; ++i) {
            const int limit = i >= RV::G_CUT ? RV::kCutMax : RV::kStepMax;
            if (geometry[i] < 0 || geometry[i] > limit)
                return false;
        }
        return true;
    };
    FUZZ_CHECK(inRange());
    for (int i = 0; i < RV::G_COUNT; ++i) {
        int stored = 0;
        std::memcpy(&stored, payload + 4 * i, 4);
        const int limit = i >= RV::G_CUT ? RV::kCutMax : RV::kStepMax;
        FUZZ_CHECK(geometry[i] == (stored >= 0 && stored <= limit ? stored : 0));
    }
    // The rest of the input: steps (side, mode, direction in each byte).
    for (std::size_t at = sizeof payload; at < size; ++at) {
        const std::uint8_t step = data[at];
        RV::StepGeometry(geometry, step & 1, (step >> 1) & 7, (step >> 4) & 1);
        FUZZ_CHECK(inRange());
    }
    return 0;
}
