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

struct ListEntry {
    std::string name;
    bool directory = false;
    // A symbolic link: an "l" line of LIST, or MLSD's type=OS.unix=symlink (or =slink).
    bool link = false;
    std::uint64_t size = 0;
    std::int64_t mtime = 0;  // seconds since 1970 (UTC as the server gives it); 0 when unknown
};

// One MLSD line "fact=value;...; name". False for lines without a name and
// for the listed directory itself and its parent (type=cdir/pdir).
bool ParseMlsdLine(std::string_view line, ListEntry& out);

// One LIST line in Unix ls -l form (either date form, with or without the
// group column, device numbers, symbolic links shown as "name -> target")
// or DOS/IIS form. `now` decides the year of dates shown without one.
// False for lines that are none of these ("total 12", banners, garbage).
bool ParseListLine(std::string_view line, std::time_t now, ListEntry& out);

}  // namespace inet
