// The registry's store file: whatever the loader accepts, the writer writes
// back in a form that loads to the same text again.
#include "fuzz/FuzzTarget.h"
#include "platform/io/RegistryInternal.h"

#include <string>

WREN_FUZZ_TARGET(RegistryStore)
{
    const std::string file(reinterpret_cast<const char*>(data), size);
    std::string rewritten, again;
    const char* reason = "";
    if (!platform::RewriteRegistryStore(file, &rewritten, &reason))
        return 0;
    FUZZ_CHECK(platform::RewriteRegistryStore(rewritten, &again, &reason));
    FUZZ_CHECK(again == rewritten);
    return 0;
}
