// Brovin's numbered resources that the core reports with: string ids of the
// status texts and command ids. The texts themselves live in the program's
// string table; the core only names them.
#pragma once

namespace brovin {

// Commands, shared by the menus, the command bar and RunCommand.
inline constexpr int ID_UPLOAD = 32772;
inline constexpr int ID_DOWNLOAD = 32773;
inline constexpr int ID_DELETE = 32774;
inline constexpr int ID_MAKE_DIRECTORY = 32775;
inline constexpr int ID_MOVE_UP = 32776;
inline constexpr int ID_RENAME = 32777;
inline constexpr int ID_DOWNLOAD_TO = 32778;
inline constexpr int ID_HELP_INDEX = 32779;

// Status texts ("%1" takes the argument).
inline constexpr int IDS_SOCKET_INIT_FAILED = 104;
inline constexpr int IDS_COLUMN_NAME = 61204;
inline constexpr int IDS_COLUMN_TYPE = 61206;
inline constexpr int IDS_COLUMN_DATE = 61207;
inline constexpr int IDS_CONNECTING = 61208;
inline constexpr int IDS_CANNOT_MOVE_STATUS = 61209;
inline constexpr int IDS_CAPTION_DIRECTORY = 61210;
inline constexpr int IDS_ALL_FILES_FILTER = 61211;
inline constexpr int IDS_MOVING = 61224;
inline constexpr int IDS_LISTING = 61225;
inline constexpr int IDS_LISTED = 61226;
inline constexpr int IDS_MAKING_DIRECTORY = 61227;
inline constexpr int IDS_MADE = 61228;
inline constexpr int IDS_RENAMING = 61229;
inline constexpr int IDS_RENAMED = 61230;
inline constexpr int IDS_RENAME_DENIED = 61231;
inline constexpr int IDS_MAKING_LOCAL_FOLDERS = 61232;
inline constexpr int IDS_SEARCHING_REMOTE = 61233;
inline constexpr int IDS_PROCESSING = 61234;
inline constexpr int IDS_FAILED_CODE = 61235;
inline constexpr int IDS_INTERNET_ERROR = 61236;
inline constexpr int IDS_ALL_DONE = 61237;
inline constexpr int IDS_CANNOT_MOVE = 61238;
inline constexpr int IDS_SEARCHING_LOCAL = 61240;
inline constexpr int IDS_CREATING_REMOTE = 61241;
inline constexpr int IDS_CANNOT_CREATE_REMOTE = 61242;
inline constexpr int IDS_DELETING = 61243;
inline constexpr int IDS_CONFIRM_DELETE = 61244;
inline constexpr int IDS_IDLE = 57345;

// Texts of this program's own, for what it refuses or leaves out.
inline constexpr int IDS_UNSAFE_NAME = 61260;     // a server's name that would leave the folder
inline constexpr int IDS_CANNOT_ENTER = 61261;    // a directory that cannot be entered is left alone
inline constexpr int IDS_HELP_MISSING = 61262;
inline constexpr int IDS_SKIPPED_COUNT = 61263;   // the walk is over, some items left out
inline constexpr int IDS_LIST_FAILED = 61264;
// Failures told in the status bar (a reason may follow the text after " : ").
inline constexpr int IDS_CONNECT_FAILED = 61280;
inline constexpr int IDS_RECONNECTING = 61281;
inline constexpr int IDS_CONNECTION_LOST = 61282;
inline constexpr int IDS_MKDIR_FAILED = 61283;
inline constexpr int IDS_NAME_EMPTY = 61284;
inline constexpr int IDS_NAME_UNSENDABLE = 61285;
inline constexpr int IDS_HELP_NO_BROWSER = 61286;
// Not a table entry: the argument is the whole text.
inline constexpr int IDS_TEXT = 0;

}  // namespace brovin
