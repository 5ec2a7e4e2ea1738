// Dravik's resources by number.
#pragma once

namespace dravik {

inline constexpr int IDD_TRANSFER = 102;
inline constexpr int IDS_SOCKET_INIT_FAILED = 103;
inline constexpr int IDS_AUTO_TRANSFER = 104;
inline constexpr int IDS_ABORT_TIP = 105;
inline constexpr int IDS_CLOSE_TIP = 106;
inline constexpr int IDR_MAINFRAME = 128;    // the program icon
inline constexpr int IDR_TRANSFER_AVI = 130;  // the transfer animation
inline constexpr int IDI_ABORT = 131;
inline constexpr int IDI_CLOSE = 132;

inline constexpr int IDC_PROGRESS = 1000;
inline constexpr int IDC_ABORT = 1002;
inline constexpr int IDC_STATUS = 1006;
inline constexpr int IDC_ANIMATE = 1007;

// Fills the string and icon tables; call once before any window is made.
void RegisterResources();

}  // namespace dravik
