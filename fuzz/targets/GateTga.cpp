// The 3D menu's TGA decoder, checked as every decoder of the menu.
#include "fuzz/GateDecoderCheck.h"

WREN_FUZZ_TARGET(GateTga)
{
    return wrenfuzz::CheckGateDecoder(&gate::GateDecodeTga, data, size);
}
