// The suite's internet client library: FTP sessions, connections and
// directory searches over POSIX sockets, with WinINet-style error codes and
// a Japanese message table.
//
// Names and paths given to any operation are refused with ERROR_INVALID_NAME
// (nothing sent) when they hold CR, LF or NUL.
//
// Directory and file operations return false on failure and set the
// calling thread's last error (GetLastInternetError); when the server
// answered with an error reply the code is 12003 and the reply's text is
// the thread's last response info. Connecting throws InternetException.
// Every blocking call has a timeout, and FtpConnection::Close from another
// thread makes a call blocked in the connection fail at once.
//
// A call that fails inside a transfer (or while waiting for a reply) leaves
// the server's answer owed; the next call reads and drops it first, waiting
// at most 5 s (or the reply timeout, if shorter), and fails with 12030 when
// it never comes: that connection is then unusable and IsOpen is false.
// Data connections go only to, and are accepted only from, the host of the
// control connection (the address in a PASV reply is not used). Once a
// connection's data set-up has worked, later ones go out in one write with
// their transfer command (PASV and STOR together), a round trip less each.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/inet/ftp_parse.h"

namespace inet {

using DWORD = std::uint32_t;

inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_NO_MORE_FILES = 18;
inline constexpr DWORD ERROR_FILE_EXISTS = 80;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
// A name holding CR, LF or NUL: refused before anything is sent, since the
// server would read the rest of the line as further commands.
inline constexpr DWORD ERROR_INVALID_NAME = 123;
// A name with a character the server's file-name encoding cannot hold
// (see NameEncoding): refused before anything is sent.
inline constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;
inline constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
inline constexpr DWORD ERROR_INTERNET_EXTENDED_ERROR = 12003;
inline constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
inline constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
inline constexpr DWORD ERROR_INTERNET_LOGIN_FAILURE = 12014;
inline constexpr DWORD ERROR_INTERNET_OPERATION_CANCELLED = 12017;
inline constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
inline constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
inline constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
// The server's certificate could not be verified (its details: GetLastCertificate).
inline constexpr DWORD ERROR_INTERNET_INVALID_CA = 12045;
// The TLS handshake or a TLS record failed.
inline constexpr DWORD ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;
inline constexpr DWORD ERROR_FTP_TRANSFER_IN_PROGRESS = 12110;
// Codes of our own have bit 29 set, the range the system leaves to applications.
// FtpFileFind::FindFile: the server sent a listing of which not one line
// could be read (a form we do not know), which is not an empty folder.
inline constexpr DWORD ERROR_FTP_LISTING_UNREADABLE = 0x20000001;

inline constexpr DWORD FTP_TRANSFER_TYPE_ASCII = 1;
inline constexpr DWORD FTP_TRANSFER_TYPE_BINARY = 2;
inline constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;
// FtpFileFind::FindFile: list with LIST even where the server offers MLSD.
// Some servers' MLSD reports a symbolic link as what it points to; an "l"
// line of LIST shows it as a link on every server we know.
inline constexpr DWORD FTP_FIND_FLAG_LIST = 0x00000001;
inline constexpr std::uint16_t INTERNET_DEFAULT_FTP_PORT = 21;

// The Japanese text for an error code; empty when the table has none.
std::string InternetErrorText(DWORD code);

// The calling thread's last error code and last server reply text.
DWORD GetLastInternetError();
void SetLastInternetError(DWORD code);
const std::string& GetLastResponseInfo();
// Kept by the client as it reads replies; set by hand only to pass a reply
// another thread received on to the thread that reports it.
void SetLastResponseInfo(std::string text);

class InternetException : public std::runtime_error {
public:
    explicit InternetException(DWORD code);
    DWORD Code() const { return code_; }
    // The message text for the code (for 12003, the server's reply).
    std::string ErrorMessage() const { return what(); }

private:
    DWORD code_;
};

// Whether a connection speaks TLS (explicit FTPS: AUTH TLS on the control
// connection, then PBSZ 0 and PROT P, every data connection TLS as well).
enum class Encryption {
    None,       // plain FTP
    IfOffered,  // TLS when the server accepts AUTH TLS, plain FTP otherwise
    Required,   // TLS or nothing: the password is never sent in clear
};

struct Security {
    Encryption encryption = Encryption::None;
    // Certificate authorities trusted besides the system's (a PEM file); empty for the system's alone.
    std::string caFile;
    // SHA-256 fingerprints (lower-case hex, no separators) of server
    // certificates the user chose to trust although they fail verification.
    std::vector<std::string> trustedFingerprints;
    // A GnuTLS priority string ("NORMAL:-VERS-TLS1.3"); empty for the system's default.
    std::string priority;
};

// How the server writes file names, and so how the names of every call are
// converted on the way to it and back.
//
// The suite's names are UTF-8. With ShiftJis (CP932) or EucJp every name
// sent (CWD, MKD, RMD, DELE, RNFR/RNTO, STOR, RETR, a listing's folder) is
// converted into the server's encoding, and every name received (listings,
// PWD) back into UTF-8, one "/"-separated part at a time:
//   - a received part that does not decode (or would not convert back to the
//     same bytes) keeps its raw bytes, so that it stays usable;
//   - a sent part that is not valid UTF-8, or that this connection received
//     raw, goes out as its bytes; every other part is converted, and one
//     with a character the encoding lacks fails the call with
//     ERROR_NO_UNICODE_TRANSLATION before anything is sent.
// So every name a listing or PWD gave reaches the server as the bytes the
// server sent. ShiftJis and EucJp do not send OPTS UTF8 ON.
enum class NameEncoding {
    AsSent,    // no conversion: names go and come as their bytes (the default)
    Auto,      // Utf8 when FEAT lists UTF8, else ShiftJis
    Utf8,      // the server speaks UTF-8: no conversion
    ShiftJis,  // CP932, the Shift_JIS that Japanese Windows writes
    EucJp,
};

// The server certificate the last failed verification on this thread saw.
struct CertificateInfo {
    std::string subject, issuer;
    std::int64_t notBefore = 0, notAfter = 0;  // seconds since 1970
    std::string sha256;                        // lower-case hex, no separators
    unsigned problems = 0;                     // CertificateProblem bits
};
// Why a certificate failed verification (several may hold at once).
enum CertificateProblem : unsigned {
    kUnknownIssuer = 1u << 0,  // self-signed, or signed by an authority the system does not trust
    kExpired = 1u << 1,
    kNotYetValid = 1u << 2,
    kOtherHost = 1u << 3,  // made out for another host name
    kOtherProblem = 1u << 4,  // revoked, weak algorithm, malformed
};
const CertificateInfo& GetLastCertificate();

struct Timeouts {
    std::chrono::milliseconds connect{30000};
    std::chrono::milliseconds reply{60000};
    std::chrono::milliseconds data{60000};  // longest silence inside a transfer
};

// The answer to a command sent without waiting for it
// (FtpConnection::SetModificationTimeDeferred): kOwed until the connection
// has read it, then kPositive, or kFailed for a refusal and for an answer
// lost to a timeout, Close or the server's end. Written by the thread using
// the connection, readable from any.
struct DeferredReply {
    enum State : int { kOwed, kPositive, kFailed };
    std::atomic<int> state{kOwed};
};

class InternetSession;
class FtpFileFind;

class FtpConnection {
public:
    ~FtpConnection();
    FtpConnection(const FtpConnection&) = delete;
    FtpConnection& operator=(const FtpConnection&) = delete;

    bool GetCurrentDirectory(std::string& directory);
    bool SetCurrentDirectory(const std::string& directory);
    bool CreateDirectory(const std::string& directory);
    bool RemoveDirectory(const std::string& directory);
    bool Rename(const std::string& from, const std::string& to);
    bool Remove(const std::string& file);
    // A file's modification time on the server (MDTM; seconds since 1970, UTC).
    bool GetModificationTime(const std::string& file, std::int64_t& time);
    // Whether the server's FEAT offered MFMT, which SetModificationTime needs.
    bool CanSetModificationTime() const;
    // Sets a file's modification time on the server (MFMT). False with
    // ERROR_INVALID_PARAMETER, nothing sent, when the server did not offer
    // MFMT or `time` cannot be written (before 1970).
    bool SetModificationTime(const std::string& file, std::int64_t time);
    // The same MFMT without waiting for its answer, which the connection
    // reads after its next command line has gone out (a walk of small files
    // saves a round trip for each), or in FinishDeferred. Returns that
    // answer; null, with the last error, when the call failed (the same
    // errors as SetModificationTime's, and the answer then counts as lost).
    std::shared_ptr<const DeferredReply> SetModificationTimeDeferred(const std::string& file, std::int64_t time);
    // Reads every deferred answer still owed. Afterwards none is kOwed, even
    // when it returns false (the connection failed, or was closed, first).
    bool FinishDeferred();
    // Sends a local file; type 1 converts LF line ends to CRLF, 2 sends the bytes as they are.
    bool PutFile(const std::string& localPath, const std::string& remoteName, DWORD type = FTP_TRANSFER_TYPE_BINARY);
    // Fetches a file into a temporary file renamed to `localPath` when complete;
    // type 1 stores CRLF as LF. With failIfExists an existing file gives ERROR_FILE_EXISTS.
    bool GetFile(const std::string& remoteName, const std::string& localPath, bool failIfExists,
                 DWORD type = FTP_TRANSFER_TYPE_BINARY);
    // Closes the connection; safe from any thread, and a call blocked in
    // this connection then returns failure at once.
    void Close();
    bool IsOpen() const;
    // The TLS version the control connection speaks ("TLS1.3"); empty for plain FTP.
    std::string TlsVersion() const;
    // The file-name encoding in use: the one asked for, Auto resolved at the login.
    NameEncoding Names() const;

    Timeouts& timeouts() { return timeouts_; }

    struct Impl;  // the socket state; defined and used only inside the library

private:
    friend class InternetSession;
    friend class FtpFileFind;
    FtpConnection(std::unique_ptr<Impl> impl, Timeouts timeouts);
    std::unique_ptr<Impl> impl_;
    Timeouts timeouts_;
};

class InternetSession {
public:
    // `agent` is sent nowhere by FTP; kept for parity with the callers. An empty one means the program's name.
    explicit InternetSession(std::string agent = "", DWORD context = 1);
    ~InternetSession();
    InternetSession(const InternetSession&) = delete;
    InternetSession& operator=(const InternetSession&) = delete;

    // Connects and logs in (port 0 means 21). The session owns the
    // connection; the pointer stays valid for the session's life. Throws
    // InternetException: 12007 unknown host (or no answer from the name
    // server within timeouts.connect), 12029 cannot connect, 12002 timeout,
    // 12014 login refused, 12003 other error replies (the reply text in the
    // exception), 12030 dropped. `names` says how file names are converted.
    FtpConnection* GetFtpConnection(const std::string& server, const std::string& user, const std::string& password,
                                    std::uint16_t port = 0, bool passive = false, Timeouts timeouts = {},
                                    const Security& security = {}, NameEncoding names = NameEncoding::AsSent);
    // Closes every connection of the session, one still resolving its
    // server's name, connecting or logging in included (safe while another
    // thread is in a call on one; that call fails with 12017); their memory
    // and sockets are released with the session. Connections asked for
    // afterwards fail with 12017.
    void Close();
    const std::string& Agent() const { return agent_; }
    DWORD Context() const { return context_; }

private:
    std::string agent_;
    DWORD context_;
    std::mutex mu_;
    std::vector<std::unique_ptr<FtpConnection>> connections_;
    bool closed_ = false;  // after Close, new connections fail at once
};

// A directory search on a connection, like a file-find object: FindFile
// lists (MLSD when the server offers it, else LIST), FindNextFile steps.
// A server that offers MLST but refuses MLSD (500, 501, 502 or 504) is
// asked again with LIST, and is listed with LIST for the rest of the
// connection.
class FtpFileFind {
public:
    explicit FtpFileFind(FtpConnection* connection, DWORD context = 1);
    ~FtpFileFind();

    // Lists the entries matching `pattern` ("*.*" or "" for all, "dir/*.*"
    // for a directory's). False with ERROR_NO_MORE_FILES when nothing matched,
    // the listing was empty or held only lines that carry no entry ("total
    // 0", MLSD's own lines for "." and ".."); false with
    // ERROR_FTP_LISTING_UNREADABLE when it held lines and not one of them
    // could be read (lines we cannot read among good ones are skipped).
    // FTP_FIND_FLAG_LIST in `flags` lists with LIST even where MLSD is offered.
    // Names keep the listing's bytes exactly (see ftp_parse.h), converted
    // only by the connection's NameEncoding: the name of an entry is what
    // to send back in commands. A mask matches the converted names. A name holding NUL is
    // listed by "*" and "*.*" only, and every command refuses it
    // (ERROR_INVALID_NAME), since no FTP command line can carry it.
    bool FindFile(const std::string& pattern = "*.*", DWORD flags = INTERNET_FLAG_RELOAD);
    // Moves to the next entry, the first one on the first call. Returns
    // whether more entries follow, so that `while (more) { more =
    // FindNextFile(); use it; }` visits each once; the entry it moved to is
    // valid even when it returns false (then the last error is 18).
    bool FindNextFile();
    void Close();

    std::string GetFileName() const;
    // The listed directory, "/" and the name, as the listing reports it.
    // For a listing of the current directory the server is asked its name
    // (PWD) at the first call, so that a walk that needs only the names
    // pays no round trip for it; the name alone when it will not say.
    std::string GetFilePath() const;
    bool IsDirectory() const;
    // Whether the listing showed the entry as a symbolic link (then
    // IsDirectory says what the server made of its target, often nothing).
    bool IsLink() const;
    bool IsDots() const;
    std::uint64_t GetLength() const;
    std::int64_t GetLastWriteTime() const;  // seconds since 1970, 0 when unknown
    // Whether the last FindFile listed with MLSD, whose times are UTC to the
    // second; LIST shows minutes at best, in the server's zone, and only
    // the year for older files.
    bool TimesExact() const { return exactTimes_; }

private:
    FtpConnection* connection_;
    std::vector<ListEntry> entries_;
    mutable std::string directory_;
    mutable bool directoryKnown_ = false;  // false: the current directory, not yet asked for
    std::size_t next_ = 0;
    bool hasCurrent_ = false;
    bool exactTimes_ = false;
    ListEntry current_;
};

}  // namespace inet
