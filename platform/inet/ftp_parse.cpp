#include "platform/inet/ftp_parse.h"

#include <cctype>
#include <cstdio>
#include <vector>

namespace inet {

namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }

bool ThreeDigits(std::string_view s) {
    return s.size() >= 3 && s[0] >= '1' && s[0] <= '5' && Digit(s[1]) && Digit(s[2]);
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

// Month names as ls abbreviates them in English and the common European
// locales (a trailing "." already removed), compared without ASCII case.
int MonthName(std::string_view s) {
    static const struct {
        const char* name;
        int month;
    } kNames[] = {
        {"jan", 1},   {"feb", 2},  {"mar", 3},  {"apr", 4},   {"may", 5},   {"jun", 6},   {"jul", 7},
        {"aug", 8},   {"sep", 9},  {"oct", 10}, {"nov", 11},  {"dec", 12},                              // en
        {"mär", 3},   {"mai", 5},  {"okt", 10}, {"dez", 12},  {"mrz", 3},                               // de
        {"janv", 1},  {"févr", 2}, {"mars", 3}, {"avr", 4},   {"juin", 6},  {"juil", 7},  {"août", 8},
        {"sept", 9},  {"déc", 12}, {"fév", 2},  {"aoû", 8},                                             // fr
        {"ene", 1},   {"abr", 4},  {"ago", 8},  {"dic", 12},  {"gen", 1},   {"mag", 5},   {"giu", 6},
        {"lug", 7},   {"set", 9},  {"ott", 10}, {"fev", 2},   {"out", 10},  {"mrt", 3},   {"mei", 5},   // es it pt nl
    };
    if (s.empty() || s.size() > 5) return 0;
    std::string lower(s);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& n : kNames)
        if (lower == n.name) return n.month;
    return 0;
}

struct Token {
    std::string_view text;
    std::size_t start;  // offset of the token in the line
    std::size_t end;    // offset just past the token
};

bool Blank(char c) { return c == ' ' || c == '\t'; }

std::vector<Token> Tokens(std::string_view line, std::size_t max) {
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < line.size() && out.size() < max) {
        while (i < line.size() && Blank(line[i])) ++i;
        std::size_t start = i;
        while (i < line.size() && !Blank(line[i])) ++i;
        if (i > start) out.push_back({line.substr(start, i - start), start, i});
    }
    return out;
}

// A date as a listing shows it, and where the name starts after it.
struct When {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool hasYear = false;
    std::size_t nameStart = 0;
};

// Reads digits at `pos` (at most `most`), moving past them.
bool Number(std::string_view s, std::size_t& pos, std::size_t most, int& out) {
    std::size_t i = pos;
    int v = 0;
    while (i < s.size() && Digit(s[i]) && i - pos < most) v = v * 10 + (s[i++] - '0');
    if (i == pos) return false;
    out = v;
    pos = i;
    return true;
}

bool Literal(std::string_view s, std::size_t& pos, std::string_view what) {
    if (pos > s.size() || s.substr(pos, what.size()) != what) return false;
    pos += what.size();
    return true;
}

std::size_t SkipBlanks(std::string_view s, std::size_t pos) {
    while (pos < s.size() && Blank(s[pos])) ++pos;
    return pos;
}

// "H:MM" or "HH:MM", with ":SS" and a fraction after it as full-iso writes
// them; "24:00" is the midnight at the end of the day.
bool TimeOfDay(std::string_view s, std::size_t& pos, When& w) {
    std::size_t i = pos;
    int h, m, sec = 0;
    if (!Number(s, i, 2, h) || !Literal(s, i, ":")) return false;
    std::size_t minutes = i;
    if (!Number(s, i, 2, m) || i - minutes != 2) return false;
    if (Literal(s, i, ":")) {
        if (i + 2 > s.size() || !Number(s, i, 2, sec) || sec > 60) return false;
        if (Literal(s, i, "."))
            while (i < s.size() && Digit(s[i])) ++i;
    }
    if (m > 59 || h > 24 || (h == 24 && (m != 0 || sec != 0))) return false;
    if (i < s.size() && !Blank(s[i])) return false;
    w.hour = h;
    w.minute = m;
    w.second = sec;
    pos = i;
    return true;
}

bool Year(std::string_view s, std::size_t& pos, When& w) {
    std::size_t i = pos;
    int y;
    if (!Number(s, i, 4, y) || i - pos != 4 || y < 1970) return false;
    w.year = y;
    w.hasYear = true;
    pos = i;
    return true;
}

// The time or the year ls shows after the day, and the one space before the name.
bool TimeOrYear(std::string_view s, std::size_t pos, When& w) {
    pos = SkipBlanks(s, pos);
    if (!TimeOfDay(s, pos, w) && !(Year(s, pos, w) && (pos >= s.size() || Blank(s[pos])))) return false;
    w.nameStart = pos + 1;
    return true;
}

bool DayOfMonth(int d) { return d >= 1 && d <= 31; }

// "Jan  5  2019", "Dec 07 02:05", "Jan 23  2:05".
bool MonthFirst(std::string_view s, const std::vector<Token>& t, std::size_t m, When& w) {
    if (m + 1 >= t.size()) return false;
    w.month = MonthName(t[m].text);
    std::size_t i = t[m + 1].start;
    if (w.month == 0 || !Number(s, i, 2, w.day) || i != t[m + 1].end || !DayOfMonth(w.day)) return false;
    return TimeOrYear(s, i, w);
}

// German and French ls: " 5. Jan 2019 ", " 7 déc.  02:05". The German year
// stands left in a column as wide as a time, so one more space pads it.
bool DayFirst(std::string_view s, const std::vector<Token>& t, std::size_t m, When& w) {
    if (m + 1 >= t.size()) return false;
    std::size_t i = t[m].start;
    if (!Number(s, i, 2, w.day) || !DayOfMonth(w.day)) return false;
    bool dotted = Literal(s, i, ".");
    if (i != t[m].end) return false;
    std::string_view name = t[m + 1].text;
    if (!name.empty() && name.back() == '.') name.remove_suffix(1);
    w.month = MonthName(name);
    if (w.month == 0 || !TimeOrYear(s, t[m + 1].end, w)) return false;
    if (dotted && w.hasYear && w.nameStart < s.size() && s[w.nameStart] == ' ') ++w.nameStart;
    return true;
}

// Japanese, Chinese and Korean ls: "12月  7 11:25", " 1月  5  2019",
// "2025年12月 7日", "12月 7日 02:05", "2019년  1월  5일", "12월  7일  02:05".
bool Numeric(std::string_view s, const std::vector<Token>& t, std::size_t m, When& w) {
    std::size_t i = t[m].start;
    int first;
    if (!Number(s, i, 4, first)) return false;
    if (Literal(s, i, "年") || Literal(s, i, "년")) {
        w.year = first;
        w.hasYear = true;
        i = SkipBlanks(s, i);
        if (!Number(s, i, 2, first)) return false;
    }
    if (!Literal(s, i, "月") && !Literal(s, i, "월")) return false;
    w.month = first;
    i = SkipBlanks(s, i);
    if (!Number(s, i, 2, w.day) || !DayOfMonth(w.day) || w.month < 1 || w.month > 12) return false;
    bool dayMark = Literal(s, i, "日") || Literal(s, i, "일");
    if (i < s.size() && !Blank(s[i])) return false;
    if (w.hasYear) {
        if (!dayMark || w.year < 1970) return false;
        w.nameStart = i + 1;
        return true;
    }
    return TimeOrYear(s, i, w);
}

// ls --time-style: iso "2019-01-05 " (padded) and "12-07 02:05", long-iso
// "2019-01-05 13:45", full-iso "2019-01-05 13:45:00.000000000 +0000". The
// time is kept as the server's clock shows it, as for every other form.
bool Iso(std::string_view s, const std::vector<Token>& t, std::size_t m, When& w) {
    std::size_t i = t[m].start;
    int a, b;
    if (!Number(s, i, 4, a) || !Literal(s, i, "-") || !Number(s, i, 2, b)) return false;
    if (i - t[m].start == 5) {  // "MM-DD", this year's, then the time
        w.month = a;
        w.day = b;
        if (i != t[m].end || w.month < 1 || w.month > 12 || !DayOfMonth(w.day)) return false;
        std::size_t k = SkipBlanks(s, i);
        if (!TimeOfDay(s, k, w)) return false;
        w.nameStart = k + 1;
        return true;
    }
    if (i - t[m].start != 7 || !Literal(s, i, "-") || !Number(s, i, 2, w.day) || i != t[m].end) return false;
    w.year = a;
    w.month = b;
    w.hasYear = true;
    if (w.year < 1970 || w.month < 1 || w.month > 12 || !DayOfMonth(w.day)) return false;
    std::size_t k = i + 1;
    if (k < s.size() && s[i] == ' ' && TimeOfDay(s, k, w)) {
        std::size_t z = k + 1;
        int offset;
        if (k < s.size() && s[k] == ' ' && z < s.size() && (s[z] == '+' || s[z] == '-')) {
            std::size_t e = z + 1;
            if (Number(s, e, 4, offset) && e - z == 5 && (e >= s.size() || Blank(s[e]))) k = e;
        }
        w.nameStart = k + 1;
        return true;
    }
    w.nameStart = i + 1;
    if (w.nameStart < s.size() && s[w.nameStart] == ' ') ++w.nameStart;  // the padding of the short form
    return true;
}

bool DateAt(std::string_view s, const std::vector<Token>& t, std::size_t m, When& w) {
    w = When{};
    if (MonthFirst(s, t, m, w)) return true;
    w = When{};
    if (Iso(s, t, m, w)) return true;
    w = When{};
    if (Numeric(s, t, m, w)) return true;
    w = When{};
    return DayFirst(s, t, m, w);
}

// A date shown without its year is the most recent such date not more than
// a day ahead of now (the day allows for the server's time zone).
int YearFor(const When& w, std::time_t now) {
    std::tm tmNow{};
    gmtime_r(&now, &tmNow);
    int year = tmNow.tm_year + 1900;
    if (Epoch(year, w.month, w.day, w.hour, w.minute, w.second) > static_cast<std::int64_t>(now) + 86400) --year;
    return year;
}

// The line without the end of line that the line split left: one LF, then one CR.
std::string_view WithoutLineEnd(std::string_view line) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

bool OneOf(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }

bool ParseUnix(std::string_view line, std::time_t now, ListEntry& out) {
    if (line.size() < 10 || !OneOf(line[0], "-dlcbps")) return false;
    char kind = line[0];
    for (std::size_t k = 1; k < 10; ++k)
        if (!OneOf(line[k], "rwxsStTl-")) return false;
    std::vector<Token> t = Tokens(line, 16);
    // Find the date after the permissions and the link count; the size stands just before it.
    for (std::size_t m = 2; m < t.size(); ++m) {
        std::string_view sizeText = t[m - 1].text;
        std::uint64_t size = 0;
        if (!sizeText.empty() && sizeText.back() == ',') continue;  // device "major, minor"
        if (!ParseUint(sizeText, size) && kind != 'c' && kind != 'b') continue;
        if (kind == 'c' || kind == 'b') size = 0;  // devices show numbers, not a size
        When w;
        if (!DateAt(line, t, m, w)) continue;
        if (w.nameStart >= line.size()) return false;
        std::string_view name = line.substr(w.nameStart);
        if (kind == 'l') {
            std::size_t arrow = name.find(" -> ");
            if (arrow != std::string_view::npos) name = name.substr(0, arrow);
        }
        if (name.empty()) return false;
        out.name = std::string(name);
        out.directory = kind == 'd';
        out.link = kind == 'l';
        out.size = size;
        int year = w.hasYear ? w.year : YearFor(w, now);
        out.mtime = Epoch(year, w.month, w.day, w.hour, w.minute, w.second);
        return true;
    }
    return false;
}

// A size with or without thousands separators: "1234567", "1,234,567", "1.234.567".
bool GroupedSize(std::string_view s, std::uint64_t& out) {
    if (ParseUint(s, out)) return true;
    if (s.empty() || (s.find(',') == std::string_view::npos && s.find('.') == std::string_view::npos)) return false;
    char sep = s.find(',') != std::string_view::npos ? ',' : '.';
    std::string digits;
    std::size_t group = 0;
    bool firstGroup = true;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == sep) {
            if (group == 0 || group > 3 || (!firstGroup && group != 3)) return false;
            firstGroup = false;
            group = 0;
            continue;
        }
        if (!Digit(s[i])) return false;
        digits += s[i];
        ++group;
    }
    return ParseUint(digits, out);
}

// IIS and Windows "dir": "04-27-00  09:09PM  <DIR>  licensed",
// "07-18-2000  10:16AM  4 readme.txt", "2019-01-05  13:45  <DIR>  sub dir",
// "2019/01/05  13:45  1,234,567 big.bin", "01/05/2019  01:45 PM  1,234,567 big.bin",
// "05.01.2019  13:45  1.234.567 big.bin".
bool ParseDos(std::string_view line, ListEntry& out) {
    std::vector<Token> t = Tokens(line, 5);
    if (t.size() < 4) return false;
    std::string_view date = t[0].text;
    if (date.size() < 8 || date.size() > 10) return false;
    char sep = date[Digit(date[2]) ? 4 : 2];
    if (!OneOf(sep, "-/.")) return false;
    std::size_t i = 0;
    int a, b, c;
    if (!Number(date, i, 4, a) || !Literal(date, i, std::string_view(&sep, 1)) || !Number(date, i, 2, b) ||
        !Literal(date, i, std::string_view(&sep, 1)) || !Number(date, i, 4, c) || i != date.size())
        return false;
    int y, mo, d;
    if (date[4] == sep) {
        y = a, mo = b, d = c;
    } else {
        if (date.size() - 6 != 2 && date.size() - 6 != 4) return false;
        y = c;
        if (date.size() == 8) y += y < 70 ? 2000 : 1900;
        if (sep == '.') {
            d = a, mo = b;
        } else {
            mo = a, d = b;
        }
    }
    if (mo < 1 || mo > 12 || !DayOfMonth(d)) return false;
    When w;
    std::string_view time = t[1].text;
    std::size_t k = 0;
    if (!Number(time, k, 2, w.hour) || !Literal(time, k, ":") || k + 2 > time.size() || !Number(time, k, 2, w.minute))
        return false;
    if (Literal(time, k, ":") && !Number(time, k, 2, w.second)) return false;
    std::string_view ampm = time.substr(k);
    std::size_t next = 2;
    if (ampm.empty() && (t[2].text == "AM" || t[2].text == "PM" || t[2].text == "am" || t[2].text == "pm")) {
        ampm = t[2].text;
        next = 3;
    }
    if (ampm == "PM" || ampm == "pm") {
        if (w.hour > 12) return false;
        if (w.hour < 12) w.hour += 12;
    } else if (ampm == "AM" || ampm == "am") {
        if (w.hour > 12) return false;
        if (w.hour == 12) w.hour = 0;
    } else if (!ampm.empty()) {
        return false;
    }
    if (w.hour > 23 || w.minute > 59 || w.second > 59 || next >= t.size()) return false;
    std::string_view what = t[next].text;
    std::string_view name = line.substr(SkipBlanks(line, t[next].end));
    if (name.empty()) return false;
    std::uint64_t size = 0;
    bool dir = what == "<DIR>";
    bool link = what == "<SYMLINKD>" || what == "<JUNCTION>" || what == "<SYMLINK>";
    if (link && name.back() == ']') {  // "name [target]"
        std::size_t open = name.rfind(" [");
        if (open != std::string_view::npos && open > 0) name = name.substr(0, open);
    }
    if (!dir && !link && !GroupedSize(what, size)) return false;
    out.name = std::string(name);
    out.directory = dir || what == "<SYMLINKD>" || what == "<JUNCTION>";
    out.link = link;
    out.size = size;
    out.mtime = Epoch(y, mo, d, w.hour, w.minute, w.second);
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

bool ParseFtpTime(std::string_view value, std::int64_t& out) {
    // Fractions of a second may follow; they are dropped.
    if (value.size() < 14 || (value.size() > 14 && value[14] != '.')) return false;
    std::uint64_t y, mo, d, h, mi, s;
    if (!(ParseUint(value.substr(0, 4), y) && ParseUint(value.substr(4, 2), mo) && ParseUint(value.substr(6, 2), d) &&
          ParseUint(value.substr(8, 2), h) && ParseUint(value.substr(10, 2), mi) &&
          ParseUint(value.substr(12, 2), s) && mo >= 1 && mo <= 12 && d >= 1 && d <= 31 && h < 24 && mi < 60 &&
          s < 62))
        return false;
    out = Epoch(static_cast<int>(y), static_cast<int>(mo), static_cast<int>(d), static_cast<int>(h),
                static_cast<int>(mi), static_cast<int>(s));
    return true;
}

std::string FormatFtpTime(std::int64_t time) {
    // 9999-12-31 23:59:59: the last moment four digits of year can say.
    if (time < 0 || time > 253402300799) return {};
    const std::int64_t days = time / 86400, secs = time % 86400;
    // Civil date from days since 1970 (the inverse of DaysFromCivil).
    const std::int64_t z = days + 719468, era = z / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = yoe + era * 400 + (m <= 2);
    char out[32];
    std::snprintf(out, sizeof out, "%04lld%02lld%02lld%02lld%02lld%02lld", static_cast<long long>(y),
                  static_cast<long long>(m), static_cast<long long>(d), static_cast<long long>(secs / 3600),
                  static_cast<long long>(secs / 60 % 60), static_cast<long long>(secs % 60));
    return out;
}

bool ParseMdtmReply(std::string_view text, std::int64_t& out) {
    if (text.size() < 4 || text.substr(0, 4) != "213 ") return false;
    std::string_view value = text.substr(4);
    while (!value.empty() && (value.back() == '\r' || value.back() == '\n' || value.back() == ' '))
        value.remove_suffix(1);
    return ParseFtpTime(value, out);
}

bool ParseMlsdLine(std::string_view line, ListEntry& out) {
    line = WithoutLineEnd(line);
    // The facts end at the first ";" before a space (a tab on some servers);
    // the name is everything after that one character, further spaces
    // included. Facts without the final ";" end at the first space or tab.
    std::size_t sp = std::string_view::npos;
    for (std::size_t i = 1; i < line.size(); ++i)
        if (Blank(line[i]) && line[i - 1] == ';') {
            sp = i;
            break;
        }
    if (sp == std::string_view::npos) sp = line.find_first_of(" \t");
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
        } else if (key == "modify") {
            ParseFtpTime(value, e.mtime);
        }
    }
    if (!typed) return false;
    out = std::move(e);
    return true;
}

bool ParseListLine(std::string_view line, std::time_t now, ListEntry& out) {
    line = WithoutLineEnd(line);
    if (line.empty()) return false;
    if (Digit(line[0])) return ParseDos(line, out);
    return ParseUnix(line, now, out);
}

bool IsListingFiller(std::string_view line) {
    line = WithoutLineEnd(line);
    std::vector<Token> t = Tokens(line, 3);
    if (t.empty()) return true;
    // "total 1232", "合計 1232", "insgesamt 1232", "total 1.2M"
    std::uint64_t blocks;
    if (t.size() == 2 && t[0].text.find_first_of("0123456789") == std::string_view::npos &&
        (ParseUint(t[1].text, blocks) || (Digit(t[1].text[0]) && t[1].text.size() <= 8)))
        return true;
    std::string facts(t[0].text);
    for (char& c : facts) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* own : {"type=cdir;", "type=pdir;"})
        if (facts.rfind(own, 0) == 0 || facts.find(std::string(";") + own) != std::string::npos) return true;
    return false;
}

}  // namespace inet
