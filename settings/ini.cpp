// INI reading for definition files.
#include "settings/ini.h"

#include "tesvar/codec.h"

#include <iconv.h>

#include <algorithm>
#include <climits>

namespace settings {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view Trim(std::string_view s) {
    const char* blanks = " \t\r\f\v";
    std::size_t b = s.find_first_not_of(blanks);
    if (b == std::string_view::npos) return {};
    return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

// Converts with iconv; false when a byte does not convert.
bool Iconv(const char* from, std::string_view in, std::string& out) {
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.assign(in.size() * 3 + 16, '\0');
    char* ip = const_cast<char*>(in.data());
    std::size_t il = in.size();
    char* op = out.data();
    std::size_t ol = out.size();
    bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1) &&
              iconv(cd, nullptr, nullptr, &op, &ol) != static_cast<std::size_t>(-1);
    out.resize(static_cast<std::size_t>(op - out.data()));
    iconv_close(cd);
    return ok;
}

}  // namespace

bool DecodeText(std::string_view bytes, std::string& utf8, std::string& error) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (tesvar::HasBinaryControl(p, bytes.size())) {
        error = "テキストファイルではありません(制御文字を含みます)。";
        return false;
    }
    tesvar::Detector detector;
    detector.Feed(p, bytes.size());
    if (detector.Fails()) {
        error = "日本語のテキストとして読めません。";
        return false;
    }
    const tesvar::Code code = detector.Result();
    if (code == tesvar::Code::Ascii || code == tesvar::Code::Utf8) {
        std::string_view body = bytes.substr(0, 3) == "\xEF\xBB\xBF" ? bytes.substr(3) : bytes;
        if (Iconv("UTF-8", body, utf8)) return true;  // valid UTF-8 passes unchanged
    }
    // Any other code, or UTF-8 with broken bytes: tesvar brings every source
    // to Shift_JIS, turning what is no character into 〓, and Shift_JIS
    // (Windows' CP932) then converts to UTF-8 without a failure.
    const tesvar::Code source = code == tesvar::Code::Ascii ? tesvar::Code::Utf8 : code;
    tesvar::Converter converter(source, tesvar::kToSjis);
    std::string sjis;
    constexpr std::size_t kChunk = 64 * 1024;
    std::vector<std::uint8_t> out(tesvar::Converter::MaxOutput(kChunk));
    for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
        std::size_t n = std::min(kChunk, bytes.size() - at);
        sjis.append(reinterpret_cast<const char*>(out.data()), converter.Convert(p + at, n, out.data()));
    }
    sjis.append(reinterpret_cast<const char*>(out.data()), converter.Finish(out.data()));
    if (!Iconv("CP932", sjis, utf8)) {
        error = "文字コードを変換できません。";
        return false;
    }
    return true;
}

std::int32_t ProfileInt(std::string_view value) {
    std::int64_t n = 0;
    for (char c : value) {
        if (c < '0' || c > '9') break;
        n = std::min<std::int64_t>(n * 10 + (c - '0'), INT32_MAX);
    }
    return static_cast<std::int32_t>(n);
}

std::string CutUtf8(std::string_view text, std::size_t bytes) {
    if (text.size() <= bytes) return std::string(text);
    std::size_t n = bytes;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return std::string(text.substr(0, n));
}

IniFile::IniFile(std::string_view text) {
    Section* current = nullptr;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            std::size_t close = line.find(']');
            std::string name = Lower(Trim(line.substr(1, close == std::string_view::npos ? line.size() : close - 1)));
            sections_.emplace_back();
            current = &sections_.back();
            // A later section of the same name is parsed but never searched.
            index_.emplace(std::move(name), sections_.size() - 1);
            continue;
        }
        std::size_t eq = line.find('=');
        if (!current || eq == std::string_view::npos) continue;
        std::string key = Lower(Trim(line.substr(0, eq)));
        std::string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        // Every split of the key into a stem and a number without leading
        // zeros (at most ten digits) counts for HighestIndex.
        for (std::size_t digits = 1; digits <= 10 && digits < key.size(); ++digits) {
            char c = key[key.size() - digits];
            if (c < '0' || c > '9') break;
            if (c == '0') continue;
            std::int64_t n = 0;
            for (std::size_t i = key.size() - digits; i < key.size(); ++i) n = n * 10 + (key[i] - '0');
            if (n > INT32_MAX) continue;
            auto& best = current->highest[key.substr(0, key.size() - digits)];
            best = std::max(best, static_cast<std::int32_t>(n));
        }
        current->values.emplace(std::move(key), std::string(value));
    }
}

const std::string* IniFile::Find(std::string_view section, std::string_view key) const {
    auto s = index_.find(Lower(section));
    if (s == index_.end()) return nullptr;
    const auto& values = sections_[s->second].values;
    auto v = values.find(Lower(key));
    return v == values.end() ? nullptr : &v->second;
}

std::string IniFile::GetString(std::string_view section, std::string_view key, std::string_view fallback) const {
    const std::string* v = Find(section, key);
    return CutUtf8(v ? std::string_view(*v) : fallback, kIniStringBytes);
}

std::int32_t IniFile::GetInt(std::string_view section, std::string_view key, std::int32_t fallback) const {
    const std::string* v = Find(section, key);
    return v ? ProfileInt(*v) : fallback;
}

std::int32_t IniFile::HighestIndex(std::string_view section, std::string_view stem) const {
    auto s = index_.find(Lower(section));
    if (s == index_.end()) return 0;
    const auto& highest = sections_[s->second].highest;
    auto h = highest.find(Lower(stem));
    return h == highest.end() ? 0 : h->second;
}

bool SplitRoutingLine(std::string_view line, std::string& directory, std::string& extensions) {
    const char* delimiters = ", \"";
    std::size_t b = line.find_first_not_of(delimiters);
    if (b == std::string_view::npos) return false;
    std::size_t e = line.find_first_of(delimiters, b);
    directory = std::string(line.substr(b, e == std::string_view::npos ? std::string_view::npos : e - b));
    extensions.clear();
    if (e == std::string_view::npos) return true;
    std::size_t b2 = line.find_first_not_of(delimiters, e);
    if (b2 == std::string_view::npos) return true;
    std::size_t e2 = line.find_first_of(delimiters, b2);
    extensions = std::string(line.substr(b2, e2 == std::string_view::npos ? std::string_view::npos : e2 - b2));
    return true;
}

}  // namespace settings
