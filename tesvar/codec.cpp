#include "tesvar/codec.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tesvar {

namespace {

struct UnicodeToSjis {
    std::uint32_t cp;
    std::uint16_t sjis;
};
#include "cp932_table.inc"

constexpr std::uint16_t kSjisGeta = 0x81AC;
constexpr std::uint8_t kJisGeta1 = 0x22, kJisGeta2 = 0x2E;

inline bool SjisLead(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
inline bool SjisTrail(std::uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }
inline bool EucByte(std::uint8_t b) { return static_cast<std::uint8_t>(b - 0xA1) < 94; }

// SJIS double-byte code -> JIS row/cell bytes (0x21.. each); rows past 94
// (user-defined and IBM areas) come out with j1 above 0x7E.
inline void SjisToJis(std::uint8_t s1, std::uint8_t s2, std::uint8_t& j1, std::uint8_t& j2) {
    unsigned a = s1 >= 0xE0 ? s1 - 0xC1u : s1 - 0x81u;  // 0-based pair of rows
    if (s2 >= 0x9F) {
        j1 = static_cast<std::uint8_t>(a * 2 + 0x22);
        j2 = static_cast<std::uint8_t>(s2 - 0x7E);
    } else {
        j1 = static_cast<std::uint8_t>(a * 2 + 0x21);
        j2 = static_cast<std::uint8_t>(s2 - (s2 >= 0x80 ? 0x20 : 0x1F));
    }
}

// JIS X 0208 row/cell (0x21-0x7E each) -> Shift_JIS, one lookup per character on the hot path.
constexpr auto kJisToSjis = [] {
    std::array<std::uint16_t, 94 * 94> t{};
    for (unsigned j1 = 0x21; j1 <= 0x7E; ++j1)
        for (unsigned j2 = 0x21; j2 <= 0x7E; ++j2) {
            unsigned s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
            unsigned s2 = (j1 & 1) ? j2 + (j2 >= 0x60 ? 0x20 : 0x1F) : j2 + 0x7E;
            t[(j1 - 0x21) * 94 + (j2 - 0x21)] = static_cast<std::uint16_t>(s1 << 8 | s2);
        }
    return t;
}();

#if defined(__SSE2__)
// Byte masks for bit masks: entry b has byte k = 0xFF where bit k of b is set.
constexpr auto kExpand = [] {
    std::array<std::uint64_t, 256> t{};
    for (unsigned b = 0; b < 256; ++b)
        for (unsigned k = 0; k < 8; ++k)
            if (b >> k & 1) t[b] |= std::uint64_t{0xFF} << (8 * k);
    return t;
}();

inline __m128i ExpandMask(unsigned bits) {
    return _mm_set_epi64x(static_cast<long long>(kExpand[bits >> 8 & 0xFF]),
                          static_cast<long long>(kExpand[bits & 0xFF]));
}

// Converts EUC-JP to Shift_JIS sixteen bytes at a time while the text is
// ASCII and JIS X 0208 pairs (the two codes then have the same length, byte
// for byte). Returns how many bytes were done; it stops short of anything
// else (half-width kana, JIS X 0212, invalid bytes), which the caller's
// general code handles. `i` must be at a character boundary.
std::size_t EucToSjisBlocks(const std::uint8_t* p, std::size_t n, std::uint8_t*& o) {
    const __m128i kA1 = _mm_set1_epi8(static_cast<char>(0xA1));
    const __m128i k5D = _mm_set1_epi8(0x5D);
    const __m128i k80 = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i k5E = _mm_set1_epi8(0x5E);
    const __m128i k5F = _mm_set1_epi8(0x5F);
    const __m128i k40 = _mm_set1_epi8(0x40);
    const __m128i k70 = _mm_set1_epi8(0x70);
    const __m128i k1F = _mm_set1_epi8(0x1F);
    const __m128i k7E = _mm_set1_epi8(0x7E);
    const __m128i k01 = _mm_set1_epi8(1);
    std::size_t i = 0;
    while (i + 16 <= n) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        unsigned hi = static_cast<unsigned>(_mm_movemask_epi8(v));
        if (hi == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v);
            o += 16;
            i += 16;
            continue;
        }
        // Every byte of 0x80 or more must be A1-FE.
        __m128i off = _mm_sub_epi8(v, kA1);
        unsigned inRange = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(off, k5D), k5D)));
        if (hi & ~inRange) break;
        // A run of such bytes is a row of pairs from its first byte: runs that
        // start at an even position have their leads at even positions, and
        // adding each even start to the run mask carries through exactly those runs.
        unsigned starts = hi & ~(hi << 1);
        unsigned evenStarts = starts & 0x5555u;
        unsigned oddRuns = hi & (hi + evenStarts);
        unsigned evenRuns = hi & ~oddRuns;
        unsigned leads = (evenRuns & 0x5555u) | (oddRuns & 0xAAAAu);
        unsigned trails = hi & ~leads;
        if ((leads << 1 & 0xFFFFu) & ~trails) break;  // a lead without its trail
        std::size_t take = 16;
        if (leads & 0x8000u) {  // the last lead's trail is in the next block
            take = 15;
            leads &= 0x7FFFu;
        }
        __m128i j = _mm_xor_si128(v, k80);                    // JIS bytes 0x21-0x7E in the pair lanes
        __m128i prev = _mm_slli_si128(j, 1);                  // each trail lane sees its lead
        // Lead: ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0)
        __m128i s1 = _mm_add_epi8(_mm_avg_epu8(j, _mm_setzero_si128()),
                                  _mm_add_epi8(k70, _mm_and_si128(_mm_cmpgt_epi8(j, k5E), k40)));
        // Trail: j1 odd ? j2 + 0x1F + (j2 >= 0x60) : j2 + 0x7E
        __m128i oddLead = _mm_cmpeq_epi8(_mm_and_si128(prev, k01), k01);
        __m128i odd = _mm_add_epi8(_mm_add_epi8(j, k1F), _mm_and_si128(_mm_cmpgt_epi8(j, k5F), k01));
        __m128i even = _mm_add_epi8(j, k7E);
        __m128i s2 = _mm_or_si128(_mm_and_si128(oddLead, odd), _mm_andnot_si128(oddLead, even));
        __m128i leadMask = ExpandMask(leads), trailMask = ExpandMask(trails & ((1u << take) - 1));
        __m128i out = _mm_or_si128(_mm_and_si128(leadMask, s1), _mm_and_si128(trailMask, s2));
        out = _mm_or_si128(out, _mm_andnot_si128(_mm_or_si128(leadMask, trailMask), v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), out);
        o += take;
        i += take;
    }
    return i;
}
#endif

inline void Put2(std::uint8_t*& o, std::uint8_t a, std::uint8_t b) {
    o[0] = a;
    o[1] = b;
    o += 2;
}

}  // namespace

// What the decoders hand over, written in the target code.
template <Target T>
struct Emit {
    static void Mode(Converter& c, std::uint8_t*& o, Converter::Mode m) {
        if constexpr (T == kToJis) {
            if (c.outMode_ == m) return;
            c.outMode_ = m;
            o[0] = 0x1B;
            if (m == Converter::Mode::Kanji) {
                o[1] = '$';
                o[2] = 'B';
            } else {
                o[1] = '(';
                o[2] = m == Converter::Mode::Kana ? 'I' : 'B';
            }
            o += 3;
        }
    }
    static void Ascii(Converter& c, std::uint8_t*& o, const std::uint8_t* p, std::size_t n) {
        if constexpr (T == kToJis) {
            // A lone ESC would read as the start of a designation in ISO-2022-JP.
            for (const void* esc; n > 0 && (esc = std::memchr(p, 0x1B, n)) != nullptr;) {
                std::size_t k = static_cast<std::size_t>(static_cast<const std::uint8_t*>(esc) - p);
                if (k > 0) Ascii(c, o, p, k);
                Geta(c, o);
                p += k + 1;
                n -= k + 1;
            }
            if (n == 0) return;
        }
        Mode(c, o, Converter::Mode::Ascii);
        if (n <= 16) {
            // Most runs between kanji are a few bytes: a library call would cost more than the copy.
            for (std::size_t k = 0; k < n; ++k) o[k] = p[k];
        } else {
            std::memcpy(o, p, n);
        }
        o += n;
    }
    static void Geta(Converter& c, std::uint8_t*& o) {
        if constexpr (T == kToSjis) {
            Put2(o, kSjisGeta >> 8, kSjisGeta & 0xFF);
        } else if constexpr (T == kToEuc) {
            Put2(o, kJisGeta1 | 0x80, kJisGeta2 | 0x80);
        } else {
            Mode(c, o, Converter::Mode::Kanji);
            Put2(o, kJisGeta1, kJisGeta2);
        }
    }
    // A JIS X 0208 character in rows 1 to 94.
    static void Jis(Converter& c, std::uint8_t*& o, std::uint8_t j1, std::uint8_t j2) {
        if constexpr (T == kToSjis) {
            std::uint16_t s = kJisToSjis[(j1 - 0x21) * 94 + (j2 - 0x21)];
            Put2(o, static_cast<std::uint8_t>(s >> 8), static_cast<std::uint8_t>(s));
        } else if constexpr (T == kToEuc) {
            Put2(o, j1 | 0x80, j2 | 0x80);
        } else {
            Mode(c, o, Converter::Mode::Kanji);
            Put2(o, j1, j2);
        }
    }
    // A Shift_JIS double-byte code (from a Shift_JIS or UTF-8 source).
    static void Sjis(Converter& c, std::uint8_t*& o, std::uint8_t s1, std::uint8_t s2) {
        if constexpr (T == kToSjis) {
            Put2(o, s1, s2);
        } else {
            if (s1 >= 0xF0) {
                // User-defined rows have no place in EUC-JP or ISO-2022-JP; IBM
                // extensions are the same characters as codes those can hold.
                std::uint16_t eq = 0;
                unsigned code = s1 << 8 | s2;
                if (code >= 0xFA40 && code <= 0xFC4B) eq = kIbmEquivalent[code - 0xFA40];
                if (eq == 0) return Geta(c, o);
                s1 = static_cast<std::uint8_t>(eq >> 8);
                s2 = static_cast<std::uint8_t>(eq);
            }
            std::uint8_t j1, j2;
            SjisToJis(s1, s2, j1, j2);
            Jis(c, o, j1, j2);
        }
    }
    // Half-width katakana 0x21-0x5F (U+FF61-FF9F).
    static void Kana(Converter& c, std::uint8_t*& o, std::uint8_t k) {
        if constexpr (T == kToSjis) {
            *o++ = static_cast<std::uint8_t>(k | 0x80);
        } else if constexpr (T == kToEuc) {
            Put2(o, 0x8E, k | 0x80);
        } else {
            Mode(c, o, Converter::Mode::Kana);
            *o++ = k;
        }
    }
    // A JIS X 0212 character (EUC-JP 8F xx xx): only EUC-JP holds those.
    static void Supplement(Converter& c, std::uint8_t*& o, std::uint8_t j1, std::uint8_t j2) {
        if constexpr (T == kToEuc) {
            o[0] = 0x8F;
            o[1] = j1 | 0x80;
            o[2] = j2 | 0x80;
            o += 3;
        } else {
            Geta(c, o);
        }
    }
};

Converter::Converter(Code source, Target target) : source_(source), target_(target) {}

namespace {

// Length of the run of bytes below 0x80 at p, checking eight at a time.
inline std::size_t AsciiRun(const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
    while (i + 8 <= n) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        if (w & 0x8080808080808080ull) break;
        i += 8;
    }
    while (i < n && p[i] < 0x80) ++i;
    return i;
}

inline std::size_t Utf8Length(std::uint8_t b) {
    if (b >= 0xC2 && b <= 0xDF) return 2;
    if (b >= 0xE0 && b <= 0xEF) return 3;
    if (b >= 0xF0 && b <= 0xF4) return 4;
    return 0;
}

// Decodes one UTF-8 sequence of `len` bytes; 0xFFFFFFFF when it is not valid.
inline std::uint32_t DecodeUtf8(const std::uint8_t* p, std::size_t len) {
    for (std::size_t k = 1; k < len; ++k)
        if ((p[k] & 0xC0) != 0x80) return 0xFFFFFFFF;
    std::uint32_t cp;
    if (len == 2) return (p[0] & 0x1Fu) << 6 | (p[1] & 0x3F);
    if (len == 3) {
        cp = (p[0] & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3F);
        return (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) ? 0xFFFFFFFF : cp;
    }
    cp = (p[0] & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3F);
    return (cp < 0x10000 || cp > 0x10FFFF) ? 0xFFFFFFFF : cp;
}

// Whether the bytes after a UTF-8 lead are continuation bytes so far (the
// sequence may still complete in the next chunk).
inline bool Utf8Prefix(const std::uint8_t* p, std::size_t have) {
    for (std::size_t k = 1; k < have; ++k)
        if ((p[k] & 0xC0) != 0x80) return false;
    return true;
}

inline std::uint16_t LookupUnicode(std::uint32_t cp) {
    const UnicodeToSjis* end = kUnicodeToSjis + sizeof kUnicodeToSjis / sizeof kUnicodeToSjis[0];
    const UnicodeToSjis* it =
        std::lower_bound(kUnicodeToSjis, end, cp, [](const UnicodeToSjis& e, std::uint32_t v) { return e.cp < v; });
    return it != end && it->cp == cp ? it->sjis : 0;
}

}  // namespace

template <Code S, Target T>
std::size_t Converter::Run(const std::uint8_t* p, std::size_t n, std::uint8_t*& o, bool final) {
    using E = Emit<T>;
    std::size_t i = 0;
    while (i < n) {
        std::uint8_t b = p[i];
        if constexpr (S == Code::Jis) {
            if (b == 0x1B) {
                // Designations: ESC $ @, ESC $ B, ESC $ ( D, ESC ( B, ESC ( J, ESC ( I.
                std::size_t have = n - i;
                Mode next = inMode_;
                std::size_t len = 0;
                bool known = false, incomplete = false;
                if (have < 3) {
                    incomplete = have == 1 || p[i + 1] == '$' || p[i + 1] == '(';
                } else if (p[i + 1] == '$' && (p[i + 2] == '@' || p[i + 2] == 'B')) {
                    next = Mode::Kanji, len = 3, known = true;
                } else if (p[i + 1] == '$' && p[i + 2] == '(') {
                    if (have < 4)
                        incomplete = true;
                    else if (p[i + 3] == 'D')
                        next = Mode::Supplement, len = 4, known = true;
                } else if (p[i + 1] == '(' && (p[i + 2] == 'B' || p[i + 2] == 'J')) {
                    next = Mode::Ascii, len = 3, known = true;
                } else if (p[i + 1] == '(' && p[i + 2] == 'I') {
                    next = Mode::Kana, len = 3, known = true;
                }
                if (incomplete && !final) break;
                if (known) {
                    inMode_ = next;
                    i += len;
                } else {
                    E::Ascii(*this, o, p + i, 1);  // a stray ESC is an ASCII byte like any other
                    ++i;
                }
                continue;
            }
            if (b == 0x0E || b == 0x0F) {  // SO/SI: 7-bit half-width katakana shift
                inMode_ = b == 0x0E ? Mode::Kana : Mode::Ascii;
                ++i;
                continue;
            }
            if (b >= 0x80) {
                if (b >= 0xA1 && b <= 0xDF)
                    E::Kana(*this, o, static_cast<std::uint8_t>(b & 0x7F));
                else
                    E::Geta(*this, o);
                ++i;
                continue;
            }
            if (b <= 0x20 || inMode_ == Mode::Ascii) {
                // Controls and spaces stay single bytes whatever the mode: line ends are kept.
                std::size_t j = i + 1;
                if (inMode_ == Mode::Ascii)
                    while (j < n && p[j] < 0x80 && p[j] != 0x1B && p[j] != 0x0E && p[j] != 0x0F) ++j;
                E::Ascii(*this, o, p + i, j - i);
                i = j;
                continue;
            }
            if (inMode_ == Mode::Kana) {
                if (b <= 0x5F)
                    E::Kana(*this, o, b);
                else
                    E::Geta(*this, o);
                ++i;
                continue;
            }
            if (i + 1 >= n) {
                if (!final) break;
                E::Geta(*this, o);
                ++i;
                continue;
            }
            std::uint8_t t = p[i + 1];
            if (b == 0x7F || t < 0x21 || t > 0x7E) {
                E::Geta(*this, o);
                ++i;
                continue;
            }
            if (inMode_ == Mode::Kanji) {
                do {
                    E::Jis(*this, o, p[i], p[i + 1]);
                    i += 2;
                } while (i + 1 < n && p[i] >= 0x21 && p[i] <= 0x7E && p[i + 1] >= 0x21 && p[i + 1] <= 0x7E);
            } else {
                E::Supplement(*this, o, b, t);
                i += 2;
            }
            continue;
        } else {
            if (b < 0x80) {
                atStart_ = false;
                if constexpr (T != kToJis) {
                    // Text alternates short ASCII runs with kana and kanji: copy eight
                    // bytes at a time while they are all ASCII, then single bytes.
                    std::uint64_t w;
                    while (i + 8 <= n) {
                        std::memcpy(&w, p + i, 8);
                        if (w & 0x8080808080808080ull) break;
                        std::memcpy(o, &w, 8);
                        o += 8;
                        i += 8;
                    }
                    while (i < n && p[i] < 0x80) *o++ = p[i++];
                    continue;
                }
                std::size_t run = AsciiRun(p + i, n - i);
                E::Ascii(*this, o, p + i, run);
                i += run;
                continue;
            }
            if constexpr (S == Code::Sjis || S == Code::Ascii) {
                if (b >= 0xA1 && b <= 0xDF) {
                    E::Kana(*this, o, static_cast<std::uint8_t>(b & 0x7F));
                    ++i;
                    continue;
                }
                if (SjisLead(b)) {
                    if (i + 1 >= n) {
                        if (!final) break;
                    } else if (SjisTrail(p[i + 1])) {
                        do {
                            E::Sjis(*this, o, p[i], p[i + 1]);
                            i += 2;
                        } while (i + 1 < n && SjisLead(p[i]) && SjisTrail(p[i + 1]));
                        continue;
                    }
                }
                E::Geta(*this, o);
                ++i;
                continue;
            } else if constexpr (S == Code::Euc) {
#if defined(__SSE2__)
                if constexpr (T == kToSjis) {
                    std::size_t done = EucToSjisBlocks(p + i, n - i, o);
                    if (done > 0) {
                        i += done;
                        continue;
                    }
                }
#endif
                if (EucByte(b)) {
                    if (i + 1 >= n) {
                        if (!final) break;
                    } else if (EucByte(p[i + 1])) {
                        // Kanji and kana come in runs: stay in this loop while they last.
                        do {
                            E::Jis(*this, o, p[i] & 0x7F, p[i + 1] & 0x7F);
                            i += 2;
                        } while (i + 1 < n && EucByte(p[i]) && EucByte(p[i + 1]));
                        continue;
                    }
                } else if (b == 0x8E) {
                    if (i + 1 >= n) {
                        if (!final) break;
                    } else if (p[i + 1] >= 0xA1 && p[i + 1] <= 0xDF) {
                        E::Kana(*this, o, p[i + 1] & 0x7F);
                        i += 2;
                        continue;
                    }
                } else if (b == 0x8F) {
                    std::size_t have = n - i;
                    bool ok1 = have < 2 || EucByte(p[i + 1]);
                    bool ok2 = have < 3 || EucByte(p[i + 2]);
                    if (ok1 && ok2 && have < 3) {
                        if (!final) break;
                    } else if (ok1 && ok2) {
                        E::Supplement(*this, o, p[i + 1] & 0x7F, p[i + 2] & 0x7F);
                        i += 3;
                        continue;
                    }
                }
                E::Geta(*this, o);
                ++i;
                continue;
            } else {  // UTF-8
                std::size_t len = Utf8Length(b);
                std::size_t have = n - i;
                if (len != 0 && have < len) {
                    bool prefix = Utf8Prefix(p + i, have);
                    if (prefix && !final) break;
                    E::Geta(*this, o);  // one mark for a sequence cut off by the end of the text
                    i += prefix ? have : 1;
                    continue;
                }
                std::uint32_t cp = len ? DecodeUtf8(p + i, len) : 0xFFFFFFFF;
                if (cp == 0xFFFFFFFF) {
                    E::Geta(*this, o);
                    ++i;
                    continue;
                }
                i += len;
                if (cp == 0xFEFF && atStart_) {
                    atStart_ = false;
                    continue;
                }
                atStart_ = false;
                if (cp >= 0xFF61 && cp <= 0xFF9F) {
                    E::Kana(*this, o, static_cast<std::uint8_t>(cp - 0xFF61 + 0x21));
                    continue;
                }
                std::uint16_t s = LookupUnicode(cp);
                if (s == 0) {
                    E::Geta(*this, o);
                } else if (s < 0x100) {
                    std::uint8_t a = static_cast<std::uint8_t>(s);
                    E::Ascii(*this, o, &a, 1);
                } else {
                    E::Sjis(*this, o, static_cast<std::uint8_t>(s >> 8), static_cast<std::uint8_t>(s));
                }
                continue;
            }
        }
    }
    return i;
}

std::size_t Converter::Dispatch(const std::uint8_t* p, std::size_t n, std::uint8_t*& o, bool final) {
#define TESVAR_CASE(S)                                                 \
    case S:                                                            \
        switch (target_) {                                             \
        case kToSjis: return Run<S, kToSjis>(p, n, o, final);         \
        case kToJis: return Run<S, kToJis>(p, n, o, final);           \
        default: return Run<S, kToEuc>(p, n, o, final);               \
        }
    switch (source_) {
        TESVAR_CASE(Code::Jis)
        TESVAR_CASE(Code::Euc)
        TESVAR_CASE(Code::Utf8)
        TESVAR_CASE(Code::Sjis)
        TESVAR_CASE(Code::Ascii)  // all bytes below 0x80: any 8-bit reading copies them
    }
#undef TESVAR_CASE
    return n;
}

std::size_t Converter::Convert(const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
    std::uint8_t* o = out;
    if (pendingLen_ > 0) {
        // Complete the sequence cut at the last chunk's end from this one's first bytes.
        std::uint8_t joined[16];
        std::size_t take = std::min(n, sizeof joined - pendingLen_);
        std::memcpy(joined, pending_, pendingLen_);
        std::memcpy(joined + pendingLen_, in, take);
        std::size_t total = pendingLen_ + take;
        std::size_t used = Dispatch(joined, total, o, false);
        if (used < pendingLen_) {
            // The sequence is still cut short, so the whole chunk fitted in `joined`: keep the rest pending.
            std::memcpy(pending_, joined + used, total - used);
            pendingLen_ = total - used;
            return static_cast<std::size_t>(o - out);
        }
        std::size_t fromIn = used - pendingLen_;
        pendingLen_ = 0;
        in += fromIn;
        n -= fromIn;
    }
    std::size_t used = Dispatch(in, n, o, false);
    pendingLen_ = n - used;
    std::memcpy(pending_, in + used, pendingLen_);
    return static_cast<std::size_t>(o - out);
}

std::size_t Converter::Finish(std::uint8_t* out) {
    std::uint8_t* o = out;
    if (pendingLen_ > 0) Dispatch(pending_, pendingLen_, o, true);
    pendingLen_ = 0;
    if (target_ == kToJis) Emit<kToJis>::Mode(*this, o, Mode::Ascii);
    return static_cast<std::size_t>(o - out);
}

const char* CodeName(Code code) {
    switch (code) {
    case Code::Ascii: return "ASCII";
    case Code::Jis: return "ISO-2022-JP";
    case Code::Euc: return "EUC-JP";
    case Code::Sjis: return "Shift_JIS";
    case Code::Utf8: return "UTF-8";
    }
    return "?";
}

}  // namespace tesvar
