// Brovin's resources by number: menus, icons, dialogs and controls. The
// string ids the core reports with are in browser/core/ids.h.
#pragma once

#include "browser/core/ids.h"

#include <wx/string.h>

#include <string>

namespace brovin {

inline constexpr int IDR_MAINFRAME = 128;      // main menu and program icon
inline constexpr int IDR_CONTEXT_MENU = 130;
inline constexpr int IDD_NAME = 131;
inline constexpr int IDI_OK = 132;
inline constexpr int IDI_CLOSE = 133;
inline constexpr int IDD_TRANSFER = 134;
inline constexpr int IDI_MAKE_DIRECTORY = 140;
inline constexpr int IDI_MOVE_UP = 141;
inline constexpr int IDI_UPLOAD = 142;
inline constexpr int IDI_DOWNLOAD = 143;
inline constexpr int IDI_DELETE = 144;
inline constexpr int IDI_DOWNLOAD_TO = 145;
inline constexpr int IDI_RENAME = 146;

inline constexpr int IDC_NAME_ICON = 1000;
inline constexpr int IDC_NAME_EDIT = 1001;
inline constexpr int IDC_NAME_OK = 1002;
inline constexpr int IDC_NAME_CLOSE = 1003;
inline constexpr int IDC_NAME_PROMPT = 1004;
inline constexpr int IDC_ABORT = 1007;
inline constexpr int IDC_PROGRESS = 1008;
inline constexpr int IDC_STATUS = 1009;

inline constexpr int IDS_APP_TITLE = 57344;
inline constexpr int IDS_RENAME_OK_TIP = 61213;
inline constexpr int IDS_RENAME_CLOSE_TIP = 61212;
inline constexpr int IDS_RENAME_PROMPT = 61214;
inline constexpr int IDS_MKDIR_PROMPT = 61215;
inline constexpr int IDS_MKDIR_OK_TIP = 61216;
inline constexpr int IDS_MKDIR_CLOSE_TIP = 61217;
inline constexpr int IDS_RENAME_OK = 61218;
inline constexpr int IDS_MKDIR_OK = 61219;
inline constexpr int IDS_CHOOSE_FOLDER = 61220;
inline constexpr int IDS_RENAME_TITLE = 61221;
inline constexpr int IDS_MKDIR_TITLE = 61222;
inline constexpr int IDS_BAR_MOVE_UP = 61245;
inline constexpr int IDS_BAR_UPLOAD = 61246;
inline constexpr int IDS_BAR_DOWNLOAD = 61247;
inline constexpr int IDS_BAR_DOWNLOAD_TO = 61248;
inline constexpr int IDS_BAR_RENAME = 61249;
inline constexpr int IDS_BAR_MAKE_DIRECTORY = 61250;
inline constexpr int IDS_BAR_DELETE = 61251;
inline constexpr int IDS_ABORT_TIP = 61252;

// The window toolkit's menu ids stop below 32767: a command's menu id is its number less this.
inline constexpr int kMenuIdOffset = 32000;
constexpr int MenuId(int command) { return command - kMenuIdOffset; }

// Fills the string and icon tables; call once before any window is made.
void RegisterResources();

// String `id` with `arg` for "%1" (unformatted when `arg` is empty); IDS_TEXT gives `arg` itself.
wxString FormatString(int id, const std::string& arg);
// The same with `reason` after it (" : " between them) when `reason` is not empty.
wxString FormatString(int id, const std::string& arg, const std::string& reason);

}  // namespace brovin
