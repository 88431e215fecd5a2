// SDL2, loaded when the desktop first asks for it (a window, or the sound
// that plays while a window is shown), not linked: a headless start then
// never resolves it and the sixty libraries it pulls in (X11, Wayland,
// PulseAudio). The functions keep SDL's names, called through Sdl().
#pragma once

#include <SDL.h>

#include <string>

namespace platform {

#define WREN_SDL_FUNCTIONS(X)                                                                                          \
    X(SDL_ClearQueuedAudio)                                                                                            \
    X(SDL_CloseAudioDevice)                                                                                            \
    X(SDL_CreateRenderer)                                                                                              \
    X(SDL_CreateTexture)                                                                                               \
    X(SDL_CreateWindow)                                                                                                \
    X(SDL_DestroyRenderer)                                                                                             \
    X(SDL_DestroyTexture)                                                                                              \
    X(SDL_DestroyWindow)                                                                                               \
    X(SDL_GetError)                                                                                                    \
    X(SDL_GetWindowSize)                                                                                               \
    X(SDL_InitSubSystem)                                                                                               \
    X(SDL_OpenAudioDevice)                                                                                             \
    X(SDL_PauseAudioDevice)                                                                                            \
    X(SDL_PollEvent)                                                                                                   \
    X(SDL_PushEvent)                                                                                                   \
    X(SDL_QueueAudio)                                                                                                  \
    X(SDL_QuitSubSystem)                                                                                               \
    X(SDL_RegisterEvents)                                                                                              \
    X(SDL_RenderCopy)                                                                                                  \
    X(SDL_RenderPresent)                                                                                               \
    X(SDL_SetError)                                                                                                    \
    X(SDL_SetHint)                                                                                                     \
    X(SDL_StartTextInput)                                                                                              \
    X(SDL_UpdateTexture)                                                                                               \
    X(SDL_WaitEvent)

struct SdlLibrary {
#define WREN_SDL_POINTER(name) decltype(&::name) name = nullptr;
    WREN_SDL_FUNCTIONS(WREN_SDL_POINTER)
#undef WREN_SDL_POINTER
};

// The loaded library, or null with the reason in error. Loaded once; the
// library stays loaded for the life of the process.
const SdlLibrary* LoadSdl(std::string* error);

// The library; only called once LoadSdl has succeeded.
const SdlLibrary& Sdl();

} // namespace platform
