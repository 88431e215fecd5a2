// The 3D menu's PNG decoder, checked as every decoder of the menu.
#include "fuzz/GateDecoderCheck.h"

WREN_FUZZ_TARGET(GatePng)
{
    return wrenfuzz::CheckGateDecoder(&gate::GateDecodePng, data, size);
}
