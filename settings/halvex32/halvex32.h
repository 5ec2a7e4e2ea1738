// libhalvex32.so: the settings library's exported entry points. C linkage,
// undecorated names; strings cross the boundary as UTF-8 `const char*`. The
// library shows its windows inside the host's wx application and never
// starts one of its own.
#pragma once

#define HALVEX32_EXPORT extern "C" __attribute__((visibility("default")))

class wxWindow;
class CSheetExtSelect;
struct ExtSelectResult;
namespace settings {
struct ProviderRecord;
}

// Asks for an FTP definition file and creates one provider per profile it
// describes, all of them or none. Returns 2 when the file dialog was
// cancelled, else 1 (the import's outcome has been shown to the user).
HALVEX32_EXPORT int PARVEX_ReadServerDefines();

// Shows the remote directory picker modally for the server, user, password
// and port given (UTF-8; port 0 means 21), in plain FTP (the call names no
// provider to take the encryption from); the chosen directory is discarded.
HALVEX32_EXPORT void PARVEX_ShowFtpDir(const char* server, const char* user, const char* password, int port);

// Shows a new extension selection sheet over `parent` and disables
// `parent` until it closes (EVT_EXT_SELECT_CLOSED then reaches `parent`).
// `mode` 1: extensions and a target directory; 0: extensions only. `result`
// is filled by 決定 and must outlive the sheet; `record` (may be null) gives
// the server for the directory picker. Returns the sheet, which frees
// itself; null when the window cannot be made.
HALVEX32_EXPORT CSheetExtSelect* PARVEX_ShowExtSelect(wxWindow* parent, ExtSelectResult* result,
                                                     settings::ProviderRecord* record, int mode);

// Runs the new-provider wizard modally; at Finish it saves the provider
// entry it collected (an existing provider of that name gains the entry).
// Returns 1 when the entry was saved, 2 when the wizard was cancelled
// (nothing written).
HALVEX32_EXPORT int PARVEX_ShowWizard();

// Shows the option sheet modally: the download folder, the text- and
// binary-mode extension lists and the code conversion choices. OK saves all
// eight options (an empty list or folder as its default); Cancel saves
// nothing. A save that fails is reported and the sheet stays open.
HALVEX32_EXPORT void PARVEX_ShowOption();

// Shows the property sheet of the entry `entry` of `provider` (UTF-8)
// modally; `parentUnused` is not used. A missing entry is created empty and
// shown with empty fields. Returns 1 after OK (the provider saved), 2 after
// Cancel (nothing saved, except routing rules already removed with 削除,
// which stay removed); 2 at once, showing nothing, when a name is null,
// empty or holds "\".
HALVEX32_EXPORT int PARVEX_ShowProvInfo(wxWindow* parentUnused, const char* provider, const char* entry);
