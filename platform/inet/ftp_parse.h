// Pure parsing of what an FTP server sends: replies, the addresses in
// PASV/EPSV replies, PWD paths and directory listings (MLSD, Unix ls -l,
// DOS/IIS). No sockets here: the client feeds these functions lines.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace inet {

// Longest reply line kept; the rest of a longer line is dropped, so that a
// hostile server cannot make the client allocate without limit.
inline constexpr std::size_t kMaxLineBytes = 8192;
// Most lines of one multi-line reply that are kept (later ones are dropped).
inline constexpr std::size_t kMaxReplyLines = 512;

struct Reply {
    int code = 0;      // 100-599
    std::string text;  // every line of the reply as received, joined with "\r\n"
    bool Preliminary() const { return code >= 100 && code < 200; }
    bool Positive() const { return code >= 200 && code < 400; }
};

// Removes Telnet IAC command sequences (IAC IAC stands for one 0xFF byte).
std::string StripTelnet(std::string_view line);

// Assembles replies from lines (without their CRLF), one at a time.
class ReplyAssembler {
public:
    enum class Status { NeedMore, Done, Malformed };
    // Feeds one line; Done when it completed a reply (then call Take),
    // Malformed when a reply's first line does not start with three digits.
    Status Feed(std::string_view line);
    Reply Take();

private:
    Reply reply_;
    std::size_t lines_ = 0;
    bool inMulti_ = false;
};

// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)": false when no such group is found.
bool ParsePasv(std::string_view text, std::array<std::uint8_t, 4>& address, std::uint16_t& port);
// "229 Entering Extended Passive Mode (|||port|)".
bool ParseEpsv(std::string_view text, std::uint16_t& port);
// "257 "path" ...": the quoted path with doubled quotes made single.
bool ParsePwd(std::string_view text, std::string& path);

// A time as MLSD's modify fact, MDTM and MFMT write it, "YYYYMMDDHHMMSS"
// in UTC with optional ".sss" (dropped): false, `out` unchanged, for
// anything else.
bool ParseFtpTime(std::string_view value, std::int64_t& out);
// `time` (seconds since 1970, UTC) in that form; empty before 1970 or after 9999.
std::string FormatFtpTime(std::int64_t time);
// An MDTM reply "213 YYYYMMDDHHMMSS[.sss]": false for any other reply.
bool ParseMdtmReply(std::string_view text, std::int64_t& out);

struct ListEntry {
    std::string name;
    bool directory = false;
    // A symbolic link: an "l" line of LIST, or MLSD's type=OS.unix=symlink (or =slink).
    bool link = false;
    std::uint64_t size = 0;
    std::int64_t mtime = 0;  // seconds since 1970 (UTC as the server gives it); 0 when unknown
};

// Every listing function takes one line as the listing gave it, with or
// without its end of line (one LF, then one CR, are dropped; any other CR
// belongs to the name). A name keeps the server's bytes exactly: invalid
// UTF-8, Shift_JIS, a CR or a NUL inside it stay as they are, so that the
// name can be sent back as it came.

// One MLSD line "fact=value;...; name": the name is what follows the one
// space (or tab) after the facts, further spaces included. False for lines
// without a name or a type, and for the listed directory itself and its
// parent (type=cdir/pdir).
bool ParseMlsdLine(std::string_view line, ListEntry& out);

// One LIST line in Unix ls -l form or DOS/IIS form; false for lines that are
// none of these ("total 12", banners, garbage). Unix: with or without the
// group column, device numbers, symbolic links shown as "name -> target";
// the date as "Mon DD HH:MM|YYYY" (the hour with or without its leading
// zero, "24:00" included), as ls --time-style=iso, long-iso and full-iso
// write it (full-iso's zone offset is not applied: every form keeps the
// server's clock), and as localised ls writes it: German " 5. Jan 2019",
// French " 5 janv.  2019", Japanese "12月  7 11:25", Chinese "2025年12月 7日",
// Korean "2019년  1월  5일" (and other common European month names). A date
// shown without its year is the latest such date not more than a day after
// `now`. DOS: the name starts at the first non-blank after the size
// column (its blanks are padding); the date as MM-DD-YY, MM-DD-YYYY, YYYY-MM-DD, YYYY/MM/DD,
// MM/DD/YYYY or DD.MM.YYYY, the time with or without AM/PM, the size with
// or without thousands separators, or <DIR>; <SYMLINKD> and <JUNCTION> are
// links to folders.
bool ParseListLine(std::string_view line, std::time_t now, ListEntry& out);

// Whether a listing line that is no entry is one that servers send by
// design: a blank line, the "total N" line ls starts with (in any
// language: "合計 1232", "insgesamt 1232"), MLSD's lines for the listed
// directory and its parent. A listing holding other lines and no entry at
// all is one we could not read.
bool IsListingFiller(std::string_view line);

}  // namespace inet
