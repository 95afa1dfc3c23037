#include "app/ScreenEffects.h"

#include <mmsystem.h>

#include "win/Handles.h"
#include "win/SystemLibrary.h"

namespace {

BOOL PlaySoundFromMemory(LPCSTR sound, UINT flags) {
    auto* play = win::SystemFunctionAs<decltype(sndPlaySoundA)>("winmm.dll", "sndPlaySoundA");
    return play ? play(sound, flags) : FALSE;
}

} // namespace

void InvertScreenRect(const RECT& rect) {
    win::OwnedDC screen(CreateDCA("DISPLAY", nullptr, nullptr, nullptr));
    if (screen)
        PatBlt(screen.get(), rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, DSTINVERT);
}

bool PlayResourceSound(const char* name) {
    if (!name) {
        PlaySoundFromMemory(nullptr, SND_MEMORY);
        return true;
    }
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, name, "WAVE");
    if (!found)
        return false;
    // Resource memory is part of the mapped image: nothing to free.
    HGLOBAL loaded = LoadResource(module, found);
    const void* wave = loaded ? LockResource(loaded) : nullptr;
    if (!wave)
        return false;
    // Synchronous on purpose: the flash lasts as long as the sound.
    PlaySoundFromMemory(static_cast<LPCSTR>(wave), SND_MEMORY | SND_NODEFAULT);
    return true;
}
