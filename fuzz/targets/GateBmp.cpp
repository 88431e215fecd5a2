// The 3D menu's BMP decoder, checked as every decoder of the menu.
#include "fuzz/GateDecoderCheck.h"

WREN_FUZZ_TARGET(GateBmp)
{
    return wrenfuzz::CheckGateDecoder(&gate::GateDecodeBmp, data, size);
}
