#pragma once

// The flash and the camera sound of a capture step.

#include <windows.h>

// Inverts a screen rectangle (PatBlt DSTINVERT on the display); a second call
// with the same rectangle restores the screen.
void InvertScreenRect(const RECT& rect);

// Plays the WAVE resource `name` of the program's own module and returns when
// the sound has ended. With no name, stops any sound and reports success.
// False when the resource is missing.
bool PlayResourceSound(const char* name);
