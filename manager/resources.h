// Morvane's resources by number.
#pragma once

#include <wx/defs.h>
#include <wx/string.h>

#include <string>

namespace morvane {

inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_LINK_HOME_TIP = 105;
inline constexpr int IDS_LINK_MAIL_TIP = 106;
inline constexpr int IDR_MAINFRAME = 128;  // menu, program icon, label band
inline constexpr int IDI_BAR_DELETE = 132;
inline constexpr int IDC_LINK = 137;
inline constexpr int IDI_ENTRY = 141;
inline constexpr int IDI_ROOT = 144;
inline constexpr int IDI_PROVIDER = 149;
inline constexpr int IDI_ROW = 150;
inline constexpr int IDB_LABEL = 151;
inline constexpr int IDI_DECOR1 = 158;
inline constexpr int IDI_DECOR2 = 159;
inline constexpr int IDI_START = 160;
inline constexpr int IDD_CODE_CONVERT = 161;
inline constexpr int IDI_BROWSE = 162;
inline constexpr int IDI_CLOSE = 163;
inline constexpr int IDI_BAR_PROPERTIES = 165;
inline constexpr int IDI_BAR_ADD = 166;
inline constexpr int IDI_BAR_OPTION = 167;

inline constexpr int IDC_LABEL = 1001;
inline constexpr int IDC_SJIS = 1007;
inline constexpr int IDC_JIS = 1008;
inline constexpr int IDC_EUC = 1009;

// Menu commands: the program's numbers (32772 on) less kCommandOffset, since
// wx accepts menu ids only below 0x7FFF; the framework's own commands
// (about, exit, the status-bar toggle) take wx's ids or one of ours.
inline constexpr int kCommandOffset = 10000;
inline constexpr int ID_PROVIDER_ADD = 32772 - kCommandOffset;
inline constexpr int ID_PROVIDER_PROPERTIES = 32773 - kCommandOffset;
inline constexpr int ID_PROVIDER_DELETE = 32774 - kCommandOffset;
inline constexpr int ID_OPTION = 32775 - kCommandOffset;
inline constexpr int ID_READ_DEFINES = 32776 - kCommandOffset;
inline constexpr int ID_CODE_CONVERT = 32777 - kCommandOffset;
inline constexpr int ID_HELP_INDEX = 32779 - kCommandOffset;
inline constexpr int ID_VIEW_STATUS_BAR = 32780 - kCommandOffset;
inline constexpr int ID_APP_ABOUT = wxID_ABOUT;
inline constexpr int ID_APP_EXIT = wxID_EXIT;

// Strings.
inline constexpr int IDS_APP_TITLE = 57344;
inline constexpr int IDS_IDLE = 57345;
inline constexpr int IDS_BAR_FOLDER = 61204;
inline constexpr int IDS_BAR_ADD = 61205;
inline constexpr int IDS_BAR_DELETE = 61206;
inline constexpr int IDS_BAR_PROPERTIES = 61207;
inline constexpr int IDS_TREE_ROOT = 61208;
inline constexpr int IDS_COL_SERVER = 61209;
inline constexpr int IDS_COL_USER = 61210;
inline constexpr int IDS_COL_ROOT = 61211;
inline constexpr int IDS_COL_ANONYMOUS = 61212;
inline constexpr int IDS_COL_PORT = 61213;
inline constexpr int IDS_VALUE_SERVER = 61214;  // to 61218: the five connection value names
inline constexpr int IDS_BAR_OPTION = 61220;
inline constexpr int IDS_AUTO_TRANSFER = 61221;
inline constexpr int IDS_CONFIRM_DELETE = 61222;
inline constexpr int IDS_REGISTER_MODULE = 61223;
inline constexpr int IDS_REGISTER_TOOL = 61224;
inline constexpr int IDS_TRANSFER_PROGRAM = 61225;
inline constexpr int IDS_DEFAULT_TEXT_MODE = 61226;
inline constexpr int IDS_DEFAULT_BINARY_MODE = 61227;
inline constexpr int IDS_CONVERT_FILTER = 61228;
inline constexpr int IDS_BROWSE_TIP = 61229;
inline constexpr int IDS_START_TIP = 61230;
inline constexpr int IDS_CLOSE_TIP = 61231;
inline constexpr int IDS_SAME_NAME = 61232;
inline constexpr int IDS_BROWSER_PROGRAM = 61233;
// Texts of this port.
inline constexpr int IDS_REGISTER_FAILED = 61240;
inline constexpr int IDS_HELP_MISSING = 61241;
inline constexpr int IDS_CONVERT_DONE = 61242;
inline constexpr int IDS_CONVERT_FAILED = 61243;
inline constexpr int IDS_CONVERT_RUNNING = 61244;
inline constexpr int IDS_OVERWRITE = 61245;
inline constexpr int IDS_STORE_UNUSABLE = 61246;
inline constexpr int IDS_CONFIRM_DELETE_PROVIDER = 61247;
inline constexpr int IDS_FIRST_RUN_UNWRITTEN = 61248;

// Fills the string and icon tables; call once before any window is made.
void RegisterResources();

// String `id` with "%1" and "%2" replaced by the UTF-8 texts given.
wxString FormatString(int id, const std::string& one, const std::string& two = std::string());

}  // namespace morvane
