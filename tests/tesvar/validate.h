// Strict checks that a byte string is well-formed in a target code: what
// every output of the converter must be, whatever its input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tesvartest {

// Offset of the first ill-formed byte, or npos when the whole text is well-formed.
inline std::size_t FirstInvalid(std::string_view s, int target) {
    auto u = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
    std::size_t i = 0, n = s.size();
    if (target == 0) {  // Shift_JIS
        while (i < n) {
            std::uint8_t b = u(i);
            if (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) ++i;
            else if (((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) && i + 1 < n && u(i + 1) >= 0x40 &&
                     u(i + 1) <= 0xFC && u(i + 1) != 0x7F) i += 2;
            else return i;
        }
    } else if (target == 2) {  // EUC-JP
        auto e = [&](std::size_t k) { return k < n && u(k) >= 0xA1 && u(k) <= 0xFE; };
        while (i < n) {
            std::uint8_t b = u(i);
            if (b < 0x80) ++i;
            else if (e(i) && e(i + 1)) i += 2;
            else if (b == 0x8E && i + 1 < n && u(i + 1) >= 0xA1 && u(i + 1) <= 0xDF) i += 2;
            else if (b == 0x8F && e(i + 1) && e(i + 2)) i += 3;
            else return i;
        }
    } else {  // ISO-2022-JP: 7-bit, known designations only, pairs in kanji mode, ending in ASCII
        int mode = 0;  // 0 ASCII, 1 kanji, 2 kana
        while (i < n) {
            std::uint8_t b = u(i);
            if (b >= 0x80) return i;
            if (b == 0x1B) {
                std::string_view esc = s.substr(i, 3);
                int to = esc == "\x1b$B" ? 1 : esc == "\x1b(B" ? 0 : esc == "\x1b(I" ? 2 : -1;
                if (to < 0 && mode != 0) return i;  // a raw ESC byte may only stand in ASCII mode
                mode = to < 0 ? mode : to;
                i += to < 0 ? 1 : 3;
            } else if (mode == 1 && b > 0x20) {
                if (i + 1 >= n || b > 0x7E || u(i + 1) < 0x21 || u(i + 1) > 0x7E) return i;
                i += 2;
            } else if (mode == 2 && b > 0x5F) {
                return i;
            } else {
                ++i;
            }
        }
        if (mode != 0) return n;
    }
    return std::string_view::npos;
}

}  // namespace tesvartest
