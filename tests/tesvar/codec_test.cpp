// Detection and conversion from tables of short texts, and the streaming
// seams: any chunking of the input gives the same, well-formed output.
#include "tesvar/codec.h"
#include "tests/tesvar/validate.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using tesvar::Code;

namespace {

std::string Convert(const std::string& in, Code from, int to, std::size_t chunk = 0) {
    tesvar::Converter c(from, static_cast<tesvar::Target>(to));
    std::string out;
    std::vector<std::uint8_t> buf;
    auto p = reinterpret_cast<const std::uint8_t*>(in.data());
    std::size_t step = chunk ? chunk : in.size() + 1;
    for (std::size_t i = 0; i < in.size(); i += step) {
        std::size_t n = std::min(step, in.size() - i);
        buf.resize(tesvar::Converter::MaxOutput(n));
        out.append(reinterpret_cast<char*>(buf.data()), c.Convert(p + i, n, buf.data()));
    }
    buf.resize(tesvar::Converter::MaxOutput(0));
    out.append(reinterpret_cast<char*>(buf.data()), c.Finish(buf.data()));
    return out;
}

Code Guess(const std::string& s) { return tesvar::Detect(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()); }

TEST(Detect, ShortAndMixedInputsGiveTheDocumentedAnswer) {
    struct Case {
        const char* what;
        std::string text;
        Code expected;
    } cases[] = {
        {"empty", "", Code::Ascii},
        {"pure ASCII", "index.html\r\n", Code::Ascii},
        {"ASCII with a stray ESC", "a\x1b[1mb", Code::Ascii},
        {"JIS designation", "\x1b$B$\"\x1b(B\n", Code::Jis},
        {"JIS half-width kana only", "\x1b(I1\x1b(B", Code::Jis},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" "abc", Code::Utf8},
        {"UTF-8 without BOM", "\xE3\x81\x82", Code::Utf8},
        {"one kana in SJIS", "\x82\xA0", Code::Sjis},
        {"one kana in EUC", "\xA4\xA2", Code::Euc},
        {"SJIS half-width kana only, odd length", "\xB1\xB2\xB3", Code::Sjis},
        // B1 B2 B3 B4 reads as two EUC kanji too, but without any kana or punctuation.
        {"SJIS half-width kana only, even length", "\xB1\xB2\xB3\xB4", Code::Sjis},
        {"EUC kana-and-kanji sentence that is valid SJIS too", "\xA4\xB3\xA4\xF3\xA4\xCB\xA4\xC1\xA4\xCF", Code::Euc},
        {"a lone EUC kanji, valid SJIS too", "\xB0\xA1", Code::Sjis},
        {"SJIS kanji with a lead EUC cannot have", "\x8A\xBF\x8E\x9A", Code::Sjis},
        {"EUC half-width kana", "\x8E\xB1\x8E\xB2\xA4\xA2", Code::Euc},
        {"EUC JIS X 0212", "\x8F\xB0\xA1\xA4\xA2", Code::Euc},
        {"invalid everywhere: fewest errors", "\x80\x80\xFF", Code::Sjis},
    };
    for (const auto& c : cases) EXPECT_EQ(Guess(c.text), c.expected) << c.what;
}

TEST(Convert, CharactersMapAmongTheCodes) {
    // あ 亜 ｱ (half-width) and ASCII, in every code; a UTF-8 BOM is not text.
    const std::string sjis = "a\x82\xA0\x88\x9F\xB1\r\n";
    const std::string euc = "a\xA4\xA2\xB0\xA1\x8E\xB1\r\n";
    const std::string jis = "a\x1b$B$\"0!\x1b(I1\x1b(B\r\n";
    const std::string utf8 = "a\xE3\x81\x82\xE4\xBA\x9C\xEF\xBD\xB1\r\n";
    const std::string by[] = {sjis, jis, euc};
    const std::pair<std::string, Code> from[] = {{sjis, Code::Sjis}, {euc, Code::Euc}, {jis, Code::Jis},
                                                 {utf8, Code::Utf8}, {"\xEF\xBB\xBF" + utf8, Code::Utf8}};
    for (int to = 0; to < 3; ++to)
        for (const auto& [text, code] : from) EXPECT_EQ(Convert(text, code, to), by[to]) << text << " to " << to;
}

TEST(Convert, WhatATargetCannotHoldBecomesGeta) {
    struct Case {
        const char* what;
        std::string in;
        Code from;
        int to;
        std::string out;
    } cases[] = {
        {"emoji from UTF-8", "a\xF0\x9F\x98\x80z", Code::Utf8, 0, "a\x81\xACz"},
        {"emoji to JIS", "\xF0\x9F\x98\x80", Code::Utf8, 1, "\x1b$B\".\x1b(B"},
        {"SJIS user-defined area to EUC", "\xF0\x40", Code::Sjis, 2, "\xA2\xAE"},
        {"SJIS user-defined area kept in SJIS", "\xF0\x40", Code::Sjis, 0, "\xF0\x40"},
        {"IBM extension to its NEC-selected twin", "\xFA\x5C", Code::Sjis, 2, "\xF9\xA1"},
        {"IBM roman numeral to NEC row 13", "\xFA\x4A", Code::Sjis, 1, "\x1b$B-5\x1b(B"},
        {"NEC row 13 kept", "\x87\x40", Code::Sjis, 2, "\xAD\xA1"},
        {"JIS X 0212 has no place in SJIS", "\x8F\xB0\xA1", Code::Euc, 0, "\x81\xAC"},
        {"JIS X 0212 kept in EUC", "\x8F\xB0\xA1", Code::Euc, 2, "\x8F\xB0\xA1"},
        {"invalid SJIS bytes, one geta each", "\x80\xFD" "a", Code::Sjis, 2, "\xA2\xAE\xA2\xAE" "a"},
        {"lead with a space after it: the space survives", "\x82 ", Code::Sjis, 0, "\x81\xAC "},
        {"truncated EUC at the end", "\xA4\xA2\xA4", Code::Euc, 0, "\x82\xA0\x81\xAC"},
        {"truncated UTF-8 at the end", "\xE3\x81", Code::Utf8, 2, "\xA2\xAE"},
        {"surrogate in UTF-8", "\xED\xA0\x80", Code::Utf8, 0, "\x81\xAC\x81\xAC\x81\xAC"},
        {"stray ESC in JIS stays ASCII for 8-bit targets", "\x1b$Zx", Code::Jis, 0, "\x1b$Zx"},
        {"a lone ESC cannot stand in JIS", "a\x1b" "b", Code::Sjis, 1, "a\x1b$B\".\x1b(Bb"},
        {"JIS ended without a return to ASCII", "\x1b$B$\"", Code::Jis, 1, "\x1b$B$\"\x1b(B"},
        {"odd byte in JIS kanji mode", "\x1b$B$", Code::Jis, 0, "\x81\xAC"},
        {"line ends inside JIS kanji mode", "\x1b$B$\"\n$\"", Code::Jis, 2, "\xA4\xA2\n\xA4\xA2"},
        {"yen sign from UTF-8", "\xC2\xA5", Code::Utf8, 0, "\\"},
        {"wave dash from a JIS-based decoder", "\xE3\x80\x9C", Code::Utf8, 0, "\x81\x60"},
    };
    for (const auto& c : cases) {
        std::string out = Convert(c.in, c.from, c.to);
        EXPECT_EQ(out, c.out) << c.what;
        EXPECT_EQ(tesvartest::FirstInvalid(out, c.to), std::string::npos) << c.what;
    }
}

TEST(Convert, AnyChunkingGivesTheSameWellFormedOutput) {
    // A text with every kind of sequence, cut at every possible place.
    const std::string texts[] = {
        "a\x82\xA0\x88\x9F\xB1\xFA\x5C\xF0\x40\x82\r\n\x80",        // SJIS
        "a\xA4\xA2\x8E\xB1\x8F\xB0\xA1\xA4\r\n\xA4",                 // EUC
        "a\x1b$B$\"0!\x1b(I1\x1b$(D0!\x1b(B\r\n\x1b$B$",              // JIS
        "\xEF\xBB\xBF" "a\xE3\x81\x82\xF0\x9F\x98\x80\xEF\xBD\xB1\xE3",  // UTF-8
    };
    const Code codes[] = {Code::Sjis, Code::Euc, Code::Jis, Code::Utf8};
    for (int t = 0; t < 4; ++t)
        for (int to = 0; to < 3; ++to) {
            std::string whole = Convert(texts[t], codes[t], to);
            EXPECT_EQ(tesvartest::FirstInvalid(whole, to), std::string::npos) << t << "->" << to;
            for (std::size_t chunk = 1; chunk <= 5; ++chunk)
                EXPECT_EQ(Convert(texts[t], codes[t], to, chunk), whole) << t << "->" << to << " chunk " << chunk;
        }
}

TEST(Convert, EucToSjisFastPathAgreesWithTheGeneralCode) {
    // EUC -> SJIS takes sixteen bytes at a time; going through JIS does not.
    // Mixed texts put every kind of sequence at every offset of a block.
    std::mt19937 rng(7);
    const std::string pieces[] = {"a", " /", "\xA4\xA2", "\xB0\xA1", "\xFE\xFE", "\x8E\xB1", "\x8F\xB0\xA1",
                                  "\xA4", "\x80", "\xFF", "\r\n", "\xA1\xA1\xA1\xA1\xA1\xA1\xA1\xA1"};
    for (int round = 0; round < 500; ++round) {
        std::string text;
        while (text.size() < 20 + rng() % 200) text += pieces[rng() % (round % 2 ? 4 : std::size(pieces))];
        std::string direct = Convert(text, Code::Euc, 0);
        std::string viaJis = Convert(Convert(text, Code::Euc, 1), Code::Jis, 0);
        ASSERT_EQ(direct, viaJis) << "round " << round;
        ASSERT_EQ(Convert(text, Code::Euc, 0, 1 + rng() % 40), direct) << "round " << round;
    }
}

}  // namespace
