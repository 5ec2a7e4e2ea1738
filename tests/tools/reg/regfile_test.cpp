// The .reg format from tables of real lines.
#include "tools/reg/regfile.h"

#include <gtest/gtest.h>

using namespace winreg;

namespace {

std::vector<regfile::Key> ParseOk(const std::string& body) {
    std::vector<regfile::Key> keys;
    int line = 0;
    std::string error;
    EXPECT_TRUE(regfile::Parse(std::string(regfile::kHeader) + "\n\n" + body, keys, line, error))
        << line << ": " << error;
    return keys;
}

TEST(RegFile, ValueLinesRoundTrip) {
    // Each line must parse to a value that formats back to the very same line.
    const char* lines[] = {
        "\"TextMode\"=\".htm;.html;\"",
        "\"Port\"=dword:00000015",
        "@=\"(既定)\"",
        "\"quote \\\" and \\\\\"=\"a\\\\b \\\"c\\\"\"",
        "\"blob\"=hex:00,ff,10",
        "\"empty blob\"=hex:",
        "\"multi\"=hex(7):61,00,62,00,00,00",
        "\"no terminator\"=hex(1):61,62",
        "\"with newline\"=hex(1):61,0a,62,00",
        "\"short dword\"=hex(4):01,02",
        "\"gone\"=-",
    };
    for (const char* l : lines) {
        auto keys = ParseOk(std::string("[HKCU\\K]\n") + l + "\n");
        ASSERT_EQ(keys.size(), 1u);
        ASSERT_EQ(keys[0].values.size(), 1u) << l;
        EXPECT_EQ(regfile::FormatValue(keys[0].values[0]), l);
    }
}

TEST(RegFile, ReadsWhatRegeditWrites) {
    auto keys = ParseOk(
        "; comment\r\n"
        "[HKEY_CURRENT_USER\\Software\\PARVEX\\Option]\r\n"
        "\"CodeConvert\"=DWORD:1E\r\n"
        "\"long\"=hex:01,02,\\\r\n"
        "  03,04\r\n"
        "\r\n"
        "[-HKEY_CLASSES_ROOT\\parvex]\r\n");
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].path, "HKEY_CURRENT_USER\\Software\\PARVEX\\Option");
    EXPECT_EQ(keys[0].line, 4);
    EXPECT_EQ(keys[0].values[0].data, std::string("\x1e\0\0\0", 4));
    EXPECT_EQ(keys[0].values[1].data, "\x01\x02\x03\x04");
    EXPECT_TRUE(keys[1].remove);
    EXPECT_EQ(keys[1].line, 9);
}

TEST(RegFile, MalformedInputNamesTheLine) {
    struct Case {
        const char* text;
        int line;
        const char* error;
    } cases[] = {
        {"REGEDIT5\n", 1, "not a .reg file"},
        {"", 1, "not a .reg file"},
        {"Windows Registry Editor Version 5.00\n\"a\"=\"b\"\n", 2, "before any [key]"},
        {"Windows Registry Editor Version 5.00\n[HKLM\\X]\n", 2, "unknown root"},
        {"Windows Registry Editor Version 5.00\n[HKCU\\X\n", 2, "closing ']'"},
        {"Windows Registry Editor Version 5.00\n[HKCU\\X]\n\"a\"=dword:123456789\n", 3, "out of range"},
        {"Windows Registry Editor Version 5.00\n[HKCU\\X]\n\"a\"=dword:12g\n", 3, "bad hex digit"},
        {"Windows Registry Editor Version 5.00\n[HKCU\\X]\n\"a\"=qword:1\n", 3, "unsupported value data"},
        {"Windows Registry Editor Version 5.00\n[HKCU\\X]\n\"a=\"b\"\n", 3, "expected '='"},
        {"Windows Registry Editor Version 5.00\n[HKCU\\X]\n\"a\"=\"b\n", 3, "unterminated"},
        {"Windows Registry Editor Version 5.00\n[HKCU\\X]\n\"a\"=hex:1,2\n", 3, "bad hex byte"},
        {"Windows Registry Editor Version 5.00\n[HKCU\\X]\n\"a\"=hex:01,\n", 3, "missing byte"},
        {"Windows Registry Editor Version 5.00\n[-HKCU\\X]\n\"a\"=\"b\"\n", 3, "deletion"},
    };
    for (const auto& c : cases) {
        std::vector<regfile::Key> keys;
        int line = 0;
        std::string error;
        EXPECT_FALSE(regfile::Parse(c.text, keys, line, error)) << c.text;
        EXPECT_EQ(line, c.line) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << " -> " << error;
    }
}

}  // namespace
