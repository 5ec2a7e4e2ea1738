/* The conversion library the suite's programs import: Japanese text code
 * conversion between files, and the user's documents folder. C linkage. */
#ifndef TESVAR_TESVAR_H
#define TESVAR_TESVAR_H

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes of both functions. */
enum {
    TESVAR_OK = 0,
    TESVAR_BAD_ARGUMENT = 1,   /* unknown code, null path */
    TESVAR_READ_FAILED = 2,    /* the source cannot be opened or read */
    TESVAR_WRITE_FAILED = 3    /* the destination cannot be written */
};

/* Converts the text file *source into *destination in `code`: 0 Shift_JIS
 * (CP932), 1 ISO-2022-JP, 2 EUC-JP, detecting the source's own code (see
 * tesvar/codec.h for the rule). Both paths are passed by reference to the
 * caller's string (a pointer to a pointer to zero-terminated UTF-8 text).
 * On return with TESVAR_OK the destination holds the whole converted text;
 * it was written beside it under a temporary name and renamed into place,
 * so source and destination may be the same file. On any failure the
 * destination does not exist afterwards (unless it is the source itself,
 * which is never touched) and a non-zero code is returned. */
int StartCodeConvert(int code, const char* const* source, const char* const* destination);

/* Writes the full path of a special folder, zero-terminated and cut to fit
 * 260 bytes (at a character boundary), into `buffer`. Folder 5 is the
 * user's documents folder: XDG_DOCUMENTS_DIR from user-dirs.dirs, else
 * $HOME/Documents if it exists, else $HOME; other codes give $HOME.
 * Returns TESVAR_OK, or TESVAR_BAD_ARGUMENT (buffer holds "") when there is
 * no home folder. */
int GetSpecialFolder(int folder, char* buffer);

#ifdef __cplusplus
}
#endif

#endif
