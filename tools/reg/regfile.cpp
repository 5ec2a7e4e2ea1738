#include "tools/reg/regfile.h"

#include <cerrno>
#include <cstdio>
#include <iconv.h>

using namespace winreg;

namespace regfile {

namespace {

bool IEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Reads a quoted string starting at s[0] == '"'; advances s past the closing quote.
bool ReadQuoted(std::string_view& s, std::string& out, std::string& error) {
    out.clear();
    std::size_t i = 1;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= s.size()) break;
            char e = s[++i];
            if (e == '\\' || e == '"')
                out += e;
            else if (e == 'n')
                out += '\n';
            else if (e == 'r')
                out += '\r';
            else if (e == '0')
                out += '\0';
            else {
                error = std::string("unknown escape \\") + e + " in a quoted string";
                return false;
            }
            continue;
        }
        out += c;
    }
    error = "unterminated quoted string";
    return false;
}

bool ParseHexBytes(std::string_view s, std::string& out, std::string& error) {
    out.clear();
    s = Trim(s);
    if (s.empty()) return true;
    std::size_t i = 0;
    while (true) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        if (i >= s.size()) {
            error = "missing byte after ','";
            return false;
        }
        int hi = HexDigit(s[i]);
        int lo = i + 1 < s.size() ? HexDigit(s[i + 1]) : -1;
        if (hi < 0 || lo < 0) {
            error = "bad hex byte in hex data";
            return false;
        }
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        if (i == s.size()) return true;
        if (s[i] != ',') {
            error = "expected ',' between hex bytes";
            return false;
        }
        ++i;
    }
}

bool ParseData(std::string_view s, Value& v, std::string& error) {
    s = Trim(s);
    if (s == "-") {
        v.remove = true;
        return true;
    }
    if (!s.empty() && s.front() == '"') {
        std::string text;
        if (!ReadQuoted(s, text, error)) return false;
        if (!Trim(s).empty()) {
            error = "text after the closing quote";
            return false;
        }
        v.type = REG_SZ;
        v.data = text;
        v.data += '\0';
        return true;
    }
    if (s.size() >= 6 && IEquals(s.substr(0, 6), "dword:")) {
        std::string_view digits = Trim(s.substr(6));
        if (digits.empty()) {
            error = "dword value without digits";
            return false;
        }
        if (digits.size() > 8) {
            error = "dword value out of range (more than 8 hex digits)";
            return false;
        }
        DWORD n = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0) {
                error = "bad hex digit in dword value";
                return false;
            }
            n = n * 16 + static_cast<DWORD>(d);
        }
        v.type = REG_DWORD;
        v.data.assign({static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
                       static_cast<char>(n >> 24)});
        return true;
    }
    if (s.size() >= 4 && IEquals(s.substr(0, 3), "hex")) {
        std::string_view rest = s.substr(3);
        DWORD type = REG_BINARY;
        if (!rest.empty() && rest.front() == '(') {
            std::size_t close = rest.find(')');
            if (close == std::string_view::npos || close == 1 || close > 9) {
                error = "bad hex(type) prefix";
                return false;
            }
            type = 0;
            for (char c : rest.substr(1, close - 1)) {
                int d = HexDigit(c);
                if (d < 0) {
                    error = "bad hex digit in hex(type)";
                    return false;
                }
                type = type * 16 + static_cast<DWORD>(d);
            }
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != ':') {
            error = "expected ':' after hex";
            return false;
        }
        // Windows writes these as UTF-16 bytes, and no setting of the suite has either type.
        if (type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
            error = std::string(type == REG_EXPAND_SZ ? "expandable string (hex(2))" : "multi-string (hex(7))") +
                    " values are not supported; the suite's settings are text and dword values";
            return false;
        }
        v.type = type;
        return ParseHexBytes(rest.substr(1), v.data, error);
    }
    error = "unsupported value data (expected \"text\", dword:, hex:, hex(n): or -)";
    return false;
}

void AppendQuoted(std::string& out, std::string_view s) {
    out += '"';
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        else if (c == '\n' || c == '\r') {
            out += c == '\n' ? "\\n" : "\\r";
            continue;
        }
        out += c;
    }
    out += '"';
}

// A REG_SZ is written as text only when that text reads back to the same bytes.
bool IsPlainString(const std::string& data) {
    if (data.empty() || data.back() != '\0') return false;
    for (std::size_t i = 0; i + 1 < data.size(); ++i)
        if (data[i] == '\0' || data[i] == '\n' || data[i] == '\r') return false;
    return true;
}

std::string HexList(const std::string& data, const char* sep) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buf, sizeof buf, sep[0] ? "%02x" : "%02X", static_cast<unsigned char>(data[i]));
        if (i) out += sep;
        out += buf;
    }
    return out;
}

DWORD Dword(const std::string& d) {
    auto b = [&](std::size_t i) { return static_cast<DWORD>(static_cast<unsigned char>(d[i])); };
    return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

// Converts `in` from `from` to UTF-8; false with `stop` at the first byte that does not convert.
bool ToUtf8(const char* from, std::string_view in, std::string& out, std::size_t& stop) {
    stop = 0;
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.assign(in.size() * 3 + 16, '\0');  // every source character takes at most 3 bytes more
    char* ip = const_cast<char*>(in.data());
    std::size_t il = in.size();
    char* op = out.data();
    std::size_t ol = out.size();
    bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1) &&
              iconv(cd, nullptr, nullptr, &op, &ol) != static_cast<std::size_t>(-1);
    stop = static_cast<std::size_t>(ip - in.data());
    out.resize(static_cast<std::size_t>(op - out.data()));
    iconv_close(cd);
    return ok;
}

// The start of a long name for a message, cut at a character boundary.
std::string Preview(std::string_view name) {
    if (name.size() <= 40) return std::string(name);
    std::size_t n = 40;
    while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
    return std::string(name.substr(0, n)) + "...";
}

}  // namespace

std::string KeyPathProblem(std::string_view subKey) {
    while (!subKey.empty()) {
        std::size_t slash = subKey.find('\\');
        std::string_view part = subKey.substr(0, slash);
        if (part.size() > kMaxKeyNameBytes)
            return "the key name \"" + Preview(part) + "\" is too long (" + std::to_string(part.size()) +
                   " bytes; a key name may have at most " + std::to_string(kMaxKeyNameBytes) + " bytes in UTF-8)";
        subKey.remove_prefix(slash == std::string_view::npos ? subKey.size() : slash + 1);
    }
    return {};
}

bool Decode(std::string_view bytes, std::string& text, int& line, std::string& error) {
    std::string code;
    std::size_t stop = 0, skipped = 0;
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
        code = bytes[0] == '\xFF' ? "UTF-16LE" : "UTF-16BE";
        skipped = 2;
        if (ToUtf8(code.c_str(), bytes.substr(2), text, stop)) return true;
    } else if (ToUtf8("UTF-8", bytes, text, stop)) {
        return true;
    } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        code = "UTF-8";
    } else {
        code = "CP932";
        if (ToUtf8("CP932", bytes, text, stop)) return true;
    }
    line = 1;
    for (char c : text) line += c == '\n';
    error = "the file is not valid " + (code == "CP932" ? std::string("UTF-8 nor CP932") : code) + " text (byte " +
            std::to_string(stop + skipped) + ")";
    return false;
}

bool ParseFile(std::string_view bytes, std::vector<Key>& out, int& line, std::string& error) {
    std::string text;
    out.clear();
    return Decode(bytes, text, line, error) && Parse(text, out, line, error);
}

bool SplitKeyPath(std::string_view path, HKEY& root, std::string& rootName, std::string& subKey) {
    std::size_t slash = path.find('\\');
    std::string_view head = path.substr(0, slash);
    subKey = slash == std::string_view::npos ? std::string() : std::string(path.substr(slash + 1));
    if (IEquals(head, "HKCU") || IEquals(head, "HKEY_CURRENT_USER")) {
        root = HKEY_CURRENT_USER;
        rootName = "HKEY_CURRENT_USER";
        return true;
    }
    if (IEquals(head, "HKCR") || IEquals(head, "HKEY_CLASSES_ROOT")) {
        root = HKEY_CLASSES_ROOT;
        rootName = "HKEY_CLASSES_ROOT";
        return true;
    }
    return false;
}

bool Parse(std::string_view text, std::vector<Key>& out, int& line, std::string& error) {
    out.clear();
    line = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    bool sawHeader = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::string_view raw = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        ++line;
        int startLine = line;
        std::string joined(Trim(raw));
        // Long hex data continues on the next line after a trailing backslash.
        while (!joined.empty() && joined.back() == '\\' && joined.find("=hex") != std::string::npos &&
               pos < text.size()) {
            joined.pop_back();
            end = text.find('\n', pos);
            joined += Trim(text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
            pos = end == std::string_view::npos ? text.size() : end + 1;
            ++line;
        }
        std::string_view l = joined;
        if (!sawHeader) {
            if (l.empty()) continue;
            if (l != kHeader && l != "REGEDIT4") {
                error = std::string("not a .reg file: the first line must be \"") + kHeader + "\"";
                return false;
            }
            sawHeader = true;
            continue;
        }
        if (l.empty() || l.front() == ';') continue;
        if (l.front() == '[') {
            if (l.back() != ']') {
                error = "key line without closing ']'";
                return false;
            }
            Key k;
            k.line = startLine;
            std::string_view inner = l.substr(1, l.size() - 2);
            if (!inner.empty() && inner.front() == '-') {
                k.remove = true;
                inner.remove_prefix(1);
            }
            HKEY root;
            std::string rootName, sub;
            if (!SplitKeyPath(inner, root, rootName, sub)) {
                error = "unknown root key in [" + std::string(inner) + "]";
                return false;
            }
            if (std::string problem = KeyPathProblem(sub); !problem.empty()) {
                error = problem;
                return false;
            }
            k.path = std::string(inner);
            out.push_back(std::move(k));
            continue;
        }
        if (out.empty()) {
            error = "value line before any [key] line";
            return false;
        }
        Value v;
        std::string_view rest = l;
        if (rest.front() == '@') {
            v.isDefault = true;
            rest.remove_prefix(1);
        } else if (rest.front() == '"') {
            if (!ReadQuoted(rest, v.name, error)) return false;
            if (v.name.find('\0') != std::string::npos) {
                error = "value name with a zero byte";
                return false;
            }
            if (v.name.size() > kMaxValueNameBytes) {
                error = "the value name \"" + Preview(v.name) + "\" is too long (" + std::to_string(v.name.size()) +
                        " bytes; a value name may have at most " + std::to_string(kMaxValueNameBytes) + " bytes)";
                return false;
            }
        } else {
            error = "expected \"name\"=, @= or [key]";
            return false;
        }
        rest = Trim(rest);
        if (rest.empty() || rest.front() != '=') {
            error = "expected '=' after the value name";
            return false;
        }
        if (!ParseData(rest.substr(1), v, error)) {
            line = startLine;  // a value continued over several lines is named by its first
            return false;
        }
        if (out.back().remove) {
            error = "value line under a [-key] deletion";
            return false;
        }
        out.back().values.push_back(std::move(v));
    }
    if (!sawHeader) {
        line = line ? line : 1;
        error = std::string("not a .reg file: the first line must be \"") + kHeader + "\"";
        return false;
    }
    return true;
}

std::string FormatValue(const Value& v) {
    std::string out;
    if (v.isDefault)
        out = "@";
    else
        AppendQuoted(out, v.name);
    out += '=';
    if (v.remove) return out + "-";
    if (v.type == REG_SZ && IsPlainString(v.data)) {
        AppendQuoted(out, std::string_view(v.data).substr(0, v.data.size() - 1));
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(Dword(v.data)));
        out += buf;
    } else {
        if (v.type == REG_BINARY) {
            out += "hex:";
        } else {
            char buf[24];
            std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
            out += buf;
        }
        out += HexList(v.data, ",");
    }
    return out;
}

std::string DisplayData(const Value& v) {
    switch (v.type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        std::size_t nul = v.data.find('\0');
        return v.data.substr(0, nul);
    }
    case REG_DWORD:
        if (v.data.size() == 4) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(Dword(v.data)));
            return buf;
        }
        break;
    case REG_MULTI_SZ: {
        std::string s = v.data;
        while (!s.empty() && s.back() == '\0') s.pop_back();
        std::string out;
        for (char c : s) out += c == '\0' ? std::string("\\0") : std::string(1, c);
        return out;
    }
    default:
        break;
    }
    return HexList(v.data, "");
}

std::string TypeName(DWORD type) {
    switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_QWORD: return "REG_QWORD";
    default: return "REG_UNKNOWN(" + std::to_string(type) + ")";
    }
}

}  // namespace regfile
