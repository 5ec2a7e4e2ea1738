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
    TESVAR_BAD_ARGUMENT = 1,   /* unknown code, null or empty path */
    TESVAR_READ_FAILED = 2,    /* the source cannot be opened or read, or is a folder */
    TESVAR_WRITE_FAILED = 3,   /* the destination cannot be written (full disk, a folder, no permission) */
    TESVAR_NOT_TEXT = 4        /* the source is not text in a Japanese code (see StartCodeConvert) */
};

/* Converts the text file *source into *destination in `code`: 0 Shift_JIS
 * (CP932), 1 ISO-2022-JP, 2 EUC-JP, detecting the source's own code (see
 * tesvar/codec.h for the rule). Both paths are passed by reference to the
 * caller's string (a pointer to a pointer to zero-terminated UTF-8 text).
 *
 * Plain ASCII text and text in UTF-8, Shift_JIS, EUC-JP or ISO-2022-JP
 * convert. TESVAR_NOT_TEXT is returned for a source that is none of these:
 * one holding a NUL byte or another control byte that text does not use
 * (any below 0x20 except BS, TAB, LF, VT, FF, CR, SO, SI, SUB and ESC), or
 * one that no Japanese code reads (Detector::Fails in tesvar/codec.h: more
 * than one invalid byte in eight non-ASCII bytes in every reading, as in
 * Latin-1 text or compressed data).
 *
 * With TESVAR_OK the destination holds the whole converted text. A regular
 * file is written beside the destination under a temporary name and renamed
 * into place, so source and destination may be the same file; a replaced
 * file keeps its mode (a new one gets 0666 less the umask) and reaches the
 * disk before the rename. A symbolic link is followed: its target gets the
 * text and the link stays. A character device or a pipe (/dev/null) is
 * written directly, once the whole source is known to be text; any other
 * kind of file (a folder, a block device) is refused with
 * TESVAR_WRITE_FAILED.
 *
 * On any failure a non-zero code is returned, errno tells the cause
 * (EILSEQ for TESVAR_NOT_TEXT), and the destination is as it was before
 * the call: absent stays absent, an existing file keeps its bytes, and no
 * temporary file is left behind. The source is never changed. */
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
