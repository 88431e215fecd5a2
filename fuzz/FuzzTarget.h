// One fuzz target: a function over a byte range that returns 0 and aborts
// (FUZZ_CHECK) when an invariant breaks. WREN_FUZZ_TARGET(name) defines it
// and registers it by name, so that the normal test suite replays the kept
// inputs of every target; the libFuzzer build of a target (WREN_FUZZ_ENTRY
// set to its name) also gets the fuzzer's entry point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace wrenfuzz {

using Target = int (*)(const std::uint8_t* data, std::size_t size);

inline std::map<std::string, Target>& Targets()
{
    static std::map<std::string, Target> targets;
    return targets;
}

struct Registration {
    Registration(const char* name, Target target) { Targets()[name] = target; }
};

} // namespace wrenfuzz

#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", __FILE__, __LINE__, #condition);                    \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)

#define WREN_FUZZ_STRINGIFY2(x) #x
#define WREN_FUZZ_STRINGIFY(x) WREN_FUZZ_STRINGIFY2(x)

#if defined(WREN_FUZZ_ENTRY)
#define WREN_FUZZ_ENTRY_POINT(name)                                                                                    \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)                                  \
    {                                                                                                                  \
        return WrenFuzz_##name(data, size);                                                                            \
    }
#else
#define WREN_FUZZ_ENTRY_POINT(name)
#endif

#define WREN_FUZZ_TARGET(name)                                                                                         \
    int WrenFuzz_##name(const std::uint8_t* data, std::size_t size);                                                   \
    static const wrenfuzz::Registration g_registration_##name(#name, &WrenFuzz_##name);                                \
    WREN_FUZZ_ENTRY_POINT(name)                                                                                        \
    int WrenFuzz_##name(const std::uint8_t* data, std::size_t size)
