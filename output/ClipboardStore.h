#pragma once

// Puts a captured bitmap on the clipboard as CF_DIB, CF_BITMAP and
// CF_PALETTE, in that order.

#include <windows.h>

#include <string>

// How long a clipboard held open by another program is waited for.
constexpr DWORD kClipboardRetryMilliseconds = 1000;

// Opens the clipboard for `owner`, retrying while another program holds it
// (up to `retryMilliseconds`). False when it stayed busy or no DIB could be
// made, with the reason in `why`; the clipboard is then left as it was.
bool StoreBitmapOnClipboard(HWND owner, HBITMAP bitmap, DWORD retryMilliseconds = kClipboardRetryMilliseconds,
                            std::string* why = nullptr);
