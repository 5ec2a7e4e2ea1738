// File names between the suite's UTF-8 and the server's encoding.
//
// iconv, not libtesvar's converter: that one writes 〓 for a character the
// target lacks, and a name must be refused rather than sent mangled.
#include "platform/inet/connection_impl.h"

#include <iconv.h>

#include <cerrno>
#include <string_view>

namespace inet {

using namespace detail;

namespace {

const char* Charset(NameEncoding e) {
    switch (e) {
    case NameEncoding::ShiftJis: return "CP932";
    case NameEncoding::EucJp: return "EUC-JP";
    default: return nullptr;
    }
}

bool Ascii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool ValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 0 : c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2
                                                             : c >= 0xF0 && c <= 0xF4 ? 3 : 4;
        if (n == 4 || i + n >= s.size()) return false;
        if (n > 0) {
            unsigned char d = static_cast<unsigned char>(s[i + 1]);
            if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d > 0x9F) || (c == 0xF0 && d < 0x90) ||
                (c == 0xF4 && d > 0x8F))
                return false;
            for (std::size_t k = 1; k <= n; ++k)
                if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += n + 1;
    }
    return true;
}

// Converts the whole of `in`; false when any byte or character does not convert.
bool Convert(const char* to, const char* from, std::string_view in, std::string& out) {
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.assign(in.size() * 4 + 4, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size(), dstLeft = out.size();
    char* dst = out.data();
    std::size_t r = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    if (r != static_cast<std::size_t>(-1)) r = ::iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    ::iconv_close(cd);
    // A character iconv can only approximate counts as not converted.
    if (r != 0 || srcLeft != 0) return false;
    out.resize(out.size() - dstLeft);
    return true;
}

// Applies `part` to every "/"-separated part of `path`. Splitting on "/"
// in the server's encoding is safe: neither CP932 nor EUC-JP has 0x2F
// inside a character.
template <class F>
std::string EachPart(const std::string& path, F&& part) {
    std::string out;
    std::size_t start = 0;
    for (;;) {
        std::size_t slash = path.find('/', start);
        out += part(path.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (slash == std::string::npos) return out;
        out += '/';
        start = slash + 1;
    }
}

}  // namespace

std::string FtpConnection::Impl::ToServer(const std::string& name) const {
    RequireClean(name);
    const char* charset = Charset(names);
    if (charset == nullptr || Ascii(name)) return name;
    return EachPart(name, [&](const std::string& part) {
        if (Ascii(part) || !ValidUtf8(part) || rawNames.count(part) != 0) return part;
        std::string out;
        if (!Convert(charset, "UTF-8", part, out) || !CleanArgument(out)) Throw(ERROR_NO_UNICODE_TRANSLATION);
        return out;
    });
}

std::string FtpConnection::Impl::FromServer(const std::string& name) {
    const char* charset = Charset(names);
    if (charset == nullptr || Ascii(name)) return name;
    return EachPart(name, [&](const std::string& part) {
        std::string decoded, back;
        // CP932 gives some characters two codes: a name must convert back to
        // its own bytes, or commands on it would name another file.
        if (Ascii(part) || (Convert("UTF-8", charset, part, decoded) && Convert(charset, "UTF-8", decoded, back) &&
                            back == part))
            return Ascii(part) ? part : decoded;
        if (ValidUtf8(part)) rawNames.insert(part);
        return part;
    });
}

NameEncoding FtpConnection::Names() const { return impl_ ? impl_->names : NameEncoding::AsSent; }

}  // namespace inet
