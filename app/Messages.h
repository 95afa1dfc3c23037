#pragma once

// Private window messages between the hook library, the triggers, the
// waiting window and the main window. Posted unless said otherwise.

#include <windows.h>

constexpr UINT MSG_MOUSE_MOVE = WM_USER + 101;
constexpr UINT MSG_MOUSE_UP = WM_USER + 102;
constexpr UINT MSG_MOUSE_DOWN = WM_USER + 103;
constexpr UINT MSG_KEY_ENTERED = WM_USER + 104;
constexpr UINT MSG_CAPTURE = WM_USER + 105;
constexpr UINT MSG_END_SESSION = WM_USER + 106;
// Sent by the waiting window to itself.
constexpr UINT MSG_HIDE_WAITING = WM_USER + 201;
constexpr UINT MSG_MOVE_WAITING = WM_USER + 202;
