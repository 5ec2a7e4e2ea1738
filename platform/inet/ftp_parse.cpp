#include "platform/inet/ftp_parse.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace inet {

namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }

bool ThreeDigits(std::string_view s) {
    return s.size() >= 3 && s[0] >= '1' && s[0] <= '5' && Digit(s[1]) && Digit(s[2]);
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool ParseUint(std::string_view s, std::uint64_t& out) {
    if (s.empty() || s.size() > 19) return false;
    std::uint64_t v = 0;
    for (char c : s) {
        if (!Digit(c)) return false;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    out = v;
    return true;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    unsigned yoe = static_cast<unsigned>(y - era * 400);
    unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::int64_t Epoch(int y, int mo, int d, int h, int mi, int s) {
    return DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 + h * 3600 + mi * 60 + s;
}

int Month(std::string_view s) {
    static const char* kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                    "jul", "aug", "sep", "oct", "nov", "dec"};
    if (s.size() != 3) return 0;
    for (int i = 0; i < 12; ++i) {
        bool eq = true;
        for (int k = 0; k < 3; ++k)
            if (std::tolower(static_cast<unsigned char>(s[static_cast<std::size_t>(k)])) != kMonths[i][k]) eq = false;
        if (eq) return i + 1;
    }
    return 0;
}

struct Token {
    std::string_view text;
    std::size_t end;  // offset just past the token in the line
};

std::vector<Token> Tokens(std::string_view line, std::size_t max) {
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < line.size() && out.size() < max) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) out.push_back({line.substr(start, i - start), i});
    }
    return out;
}

bool ParseUnix(std::string_view line, std::time_t now, ListEntry& out) {
    char kind = line.empty() ? 0 : line[0];
    if (std::strchr("-dlcbps", kind) == nullptr || line.size() < 10) return false;
    for (std::size_t k = 1; k < 10; ++k)
        if (std::strchr("rwxsStTl-", line[k]) == nullptr) return false;
    std::vector<Token> t = Tokens(line, 12);
    // Find "Mon DD HH:MM|YYYY" after the permissions; the size stands just before it.
    for (std::size_t m = 2; m + 2 < t.size(); ++m) {
        int month = Month(t[m].text);
        std::uint64_t day = 0, size = 0;
        if (month == 0 || !ParseUint(t[m + 1].text, day) || day < 1 || day > 31) continue;
        std::string_view when = t[m + 2].text;
        std::string_view sizeText = t[m - 1].text;
        if (!sizeText.empty() && sizeText.back() == ',') continue;  // device "major, minor"
        if (!ParseUint(sizeText, size) && kind != 'c' && kind != 'b') continue;
        if (kind == 'c' || kind == 'b') size = 0;  // devices show numbers, not a size
        int year, hour = 0, minute = 0;
        std::uint64_t v;
        if (when.size() == 5 && when[2] == ':' && ParseUint(when.substr(0, 2), v) && v < 24) {
            hour = static_cast<int>(v);
            if (!ParseUint(when.substr(3), v) || v > 59) continue;
            minute = static_cast<int>(v);
            // No year: the most recent such date not more than a day ahead of now.
            std::tm tmNow {};
            gmtime_r(&now, &tmNow);
            year = tmNow.tm_year + 1900;
            if (Epoch(year, month, static_cast<int>(day), hour, minute, 0) > static_cast<std::int64_t>(now) + 86400)
                --year;
        } else if (when.size() == 4 && ParseUint(when, v) && v >= 1970) {
            year = static_cast<int>(v);
        } else {
            continue;
        }
        std::size_t nameStart = t[m + 2].end;
        if (nameStart < line.size() && line[nameStart] == ' ') ++nameStart;  // ls puts one space before the name
        std::string_view name = line.substr(nameStart);
        while (!name.empty() && (name.back() == '\r')) name.remove_suffix(1);
        if (kind == 'l') {
            std::size_t arrow = name.find(" -> ");
            if (arrow != std::string_view::npos) name = name.substr(0, arrow);
        }
        if (name.empty()) return false;
        out.name = std::string(name);
        out.directory = kind == 'd';
        out.link = kind == 'l';
        out.size = size;
        out.mtime = Epoch(year, month, static_cast<int>(day), hour, minute, 0);
        return true;
    }
    return false;
}

// "04-27-00  09:09PM       <DIR>          licensed" and "07-18-2000  10:16AM  4 readme.txt".
bool ParseDos(std::string_view line, ListEntry& out) {
    std::vector<Token> t = Tokens(line, 3);
    if (t.size() < 3) return false;
    std::string_view date = t[0].text, time = t[1].text;
    if (date.size() != 8 && date.size() != 10) return false;
    if (date[2] != '-' || date[5] != '-') return false;
    std::uint64_t mo, d, y, h, mi;
    if (!ParseUint(date.substr(0, 2), mo) || !ParseUint(date.substr(3, 2), d) || !ParseUint(date.substr(6), y))
        return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31) return false;
    if (date.size() == 8) y += y < 70 ? 2000 : 1900;
    if (time.size() < 5 || time[2] != ':' || !ParseUint(time.substr(0, 2), h) || !ParseUint(time.substr(3, 2), mi))
        return false;
    std::string_view ampm = time.substr(5);
    if (ampm == "PM" || ampm == "pm") {
        if (h < 12) h += 12;
    } else if (ampm == "AM" || ampm == "am") {
        if (h == 12) h = 0;
    } else if (!ampm.empty()) {
        return false;
    }
    if (h > 23 || mi > 59) return false;
    std::string_view rest = Trim(line.substr(t[1].end));
    std::size_t sp = rest.find_first_of(" \t");
    if (sp == std::string_view::npos) return false;
    std::string_view what = rest.substr(0, sp), name = Trim(rest.substr(sp));
    if (name.empty()) return false;
    std::uint64_t size = 0;
    bool dir = what == "<DIR>";
    if (!dir && !ParseUint(what, size)) return false;
    out.name = std::string(name);
    out.directory = dir;
    out.size = size;
    out.mtime = Epoch(static_cast<int>(y), static_cast<int>(mo), static_cast<int>(d), static_cast<int>(h),
                      static_cast<int>(mi), 0);
    return true;
}

}  // namespace

std::string StripTelnet(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        auto c = static_cast<unsigned char>(line[i]);
        if (c != 0xFF) {
            out += line[i];
            continue;
        }
        if (i + 1 >= line.size()) break;
        auto cmd = static_cast<unsigned char>(line[i + 1]);
        if (cmd == 0xFF) {
            out += line[i];
            ++i;
        } else if (cmd >= 0xFB && cmd <= 0xFE) {
            i += 2;  // WILL/WONT/DO/DONT take an option byte
        } else {
            ++i;
        }
    }
    return out;
}

ReplyAssembler::Status ReplyAssembler::Feed(std::string_view line) {
    if (!inMulti_) {
        if (!ThreeDigits(line) || (line.size() > 3 && line[3] != ' ' && line[3] != '-')) return Status::Malformed;
        reply_ = Reply{};
        reply_.code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
        reply_.text = std::string(line.substr(0, kMaxLineBytes));
        lines_ = 1;
        if (line.size() > 3 && line[3] == '-') {
            inMulti_ = true;
            return Status::NeedMore;
        }
        return Status::Done;
    }
    if (lines_ < kMaxReplyLines) {
        reply_.text += "\r\n";
        reply_.text += line.substr(0, kMaxLineBytes);
        ++lines_;
    }
    // The reply ends at a line that starts with the same code and a space.
    if (line.size() >= 4 && ThreeDigits(line) && line[3] == ' ' &&
        (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0') == reply_.code) {
        inMulti_ = false;
        return Status::Done;
    }
    if (line.size() == 3 && ThreeDigits(line) &&
        (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0') == reply_.code) {
        inMulti_ = false;
        return Status::Done;
    }
    return Status::NeedMore;
}

Reply ReplyAssembler::Take() {
    Reply r = std::move(reply_);
    reply_ = Reply{};
    return r;
}

bool ParsePasv(std::string_view text, std::array<std::uint8_t, 4>& address, std::uint16_t& port) {
    // Find six comma-separated numbers, wherever the server put them.
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!Digit(text[i]) || (i > 0 && Digit(text[i - 1]))) continue;
        unsigned v[6];
        std::size_t k = i;
        int got = 0;
        for (; got < 6; ++got) {
            std::size_t start = k;
            unsigned n = 0;
            while (k < text.size() && Digit(text[k]) && k - start < 3) n = n * 10 + static_cast<unsigned>(text[k++] - '0');
            if (k == start || n > 255 || (k < text.size() && Digit(text[k]))) break;
            v[got] = n;
            if (got < 5) {
                if (k >= text.size() || text[k] != ',') break;
                ++k;
            }
        }
        if (got == 6) {
            for (int j = 0; j < 4; ++j) address[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(v[j]);
            port = static_cast<std::uint16_t>(v[4] * 256 + v[5]);
            return true;
        }
    }
    return false;
}

bool ParseEpsv(std::string_view text, std::uint16_t& port) {
    std::size_t open = text.find('(');
    if (open == std::string_view::npos || open + 4 >= text.size()) return false;
    char d = text[open + 1];
    if (text[open + 2] != d || text[open + 3] != d) return false;
    std::size_t end = text.find(d, open + 4);
    std::uint64_t v;
    if (end == std::string_view::npos || !ParseUint(text.substr(open + 4, end - open - 4), v) || v == 0 || v > 65535)
        return false;
    port = static_cast<std::uint16_t>(v);
    return true;
}

bool ParsePwd(std::string_view text, std::string& path) {
    std::size_t q = text.find('"');
    if (q == std::string_view::npos) return false;
    std::string out;
    for (std::size_t i = q + 1; i < text.size(); ++i) {
        if (text[i] == '"') {
            if (i + 1 < text.size() && text[i + 1] == '"') {
                out += '"';
                ++i;
                continue;
            }
            path = out;
            return true;
        }
        out += text[i];
    }
    return false;
}

bool ParseMlsdLine(std::string_view line, ListEntry& out) {
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t sp = line.find(' ');
    if (sp == std::string_view::npos || sp + 1 >= line.size()) return false;
    std::string_view facts = line.substr(0, sp), name = line.substr(sp + 1);
    ListEntry e;
    e.name = std::string(name);
    bool typed = false;
    while (!facts.empty()) {
        std::size_t semi = facts.find(';');
        std::string_view fact = facts.substr(0, semi);
        facts = semi == std::string_view::npos ? std::string_view() : facts.substr(semi + 1);
        std::size_t eq = fact.find('=');
        if (eq == std::string_view::npos) continue;
        std::string key(fact.substr(0, eq));
        for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::string_view value = fact.substr(eq + 1);
        if (key == "type") {
            std::string v(value);
            for (char& c : v) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (v == "cdir" || v == "pdir") return false;
            e.directory = v == "dir";
            // proftpd writes "OS.unix=symlink"; others "OS.unix=slink:<target>".
            e.link = v.rfind("os.unix=symlink", 0) == 0 || v.rfind("os.unix=slink", 0) == 0;
            typed = true;
        } else if (key == "size" || key == "sizd") {
            ParseUint(value, e.size);
        } else if (key == "modify" && value.size() >= 14) {
            std::uint64_t y, mo, d, h, mi, s;
            if (ParseUint(value.substr(0, 4), y) && ParseUint(value.substr(4, 2), mo) &&
                ParseUint(value.substr(6, 2), d) && ParseUint(value.substr(8, 2), h) &&
                ParseUint(value.substr(10, 2), mi) && ParseUint(value.substr(12, 2), s) && mo >= 1 && mo <= 12 &&
                d >= 1 && d <= 31 && h < 24 && mi < 60 && s < 62)
                e.mtime = Epoch(static_cast<int>(y), static_cast<int>(mo), static_cast<int>(d), static_cast<int>(h),
                                static_cast<int>(mi), static_cast<int>(s));
        }
    }
    if (!typed) return false;
    out = std::move(e);
    return true;
}

bool ParseListLine(std::string_view line, std::time_t now, ListEntry& out) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    if (line.empty()) return false;
    if (Digit(line[0])) return ParseDos(line, out);
    return ParseUnix(line, now, out);
}

}  // namespace inet
