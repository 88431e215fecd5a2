#include "platform/ui/SdlInternal.h"

#include <dlfcn.h>

#include <mutex>

namespace platform {

const SdlLibrary* LoadSdl(std::string* error)
{
    static std::once_flag once;
    static SdlLibrary library;
    static std::string failure;
    std::call_once(once, [] {
        void* handle = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = dlerror();
            failure = why ? why : "libSDL2-2.0.so.0 not found";
            return;
        }
#define WREN_SDL_RESOLVE(name)                                                                                         \
    library.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));                                          \
    if (!library.name && failure.empty())                                                                              \
        failure = "libSDL2-2.0.so.0 lacks " #name;
        WREN_SDL_FUNCTIONS(WREN_SDL_RESOLVE)
#undef WREN_SDL_RESOLVE
    });
    if (!failure.empty()) {
        if (error)
            *error = failure;
        return nullptr;
    }
    return &library;
}

const SdlLibrary& Sdl()
{
    return *LoadSdl(nullptr);
}

} // namespace platform
