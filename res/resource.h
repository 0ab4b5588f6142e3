#pragma once
// Resource numbers: the About box's dialog template and the program's two icons.

inline constexpr int IDD_ABOUTBOX = 100;
// The program's icon (32 x 32): the window class and the About box show it.
inline constexpr int IDR_MAINFRAME = 129;
// The small icon (16 x 16).
inline constexpr int IDI_SMALL = 131;
