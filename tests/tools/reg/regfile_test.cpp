// The .reg format from tables of real lines.
#include "tools/reg/regfile.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace winreg;
using namespace std::string_literals;

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
        "\"qword\"=hex(b):01,00,00,00,00,00,00,00",
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
        "\r\n"
        "[-HKEY_CLASSES_ROOT\\parvex]\r\n");
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].path, "HKEY_CURRENT_USER\\Software\\PARVEX\\Option");
    EXPECT_EQ(keys[0].line, 4);
    EXPECT_EQ(keys[0].values[0].data, std::string("\x1e\0\0\0", 4));
    EXPECT_TRUE(keys[1].remove);
    EXPECT_EQ(keys[1].line, 7);
}

TEST(RegFile, ReadsFilesAsWindowsAndThisToolSaveThem) {
    // ソ and 表 end in 0x5C, a backslash, in CP932: only text decoded first splits the path right.
    const std::string body =
        "[HKEY_CURRENT_USER\\Software\\PARVEX\\PROVIDER\\ソフト表示\\/pub]\r\n"
        "\"MenuName\"=\"ソフト表示\"\r\n"
        "\"Port\"=dword:00000015\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "  03\r\n\r\n";
    const std::string v5 = std::string(regfile::kHeader) + "\r\n\r\n" + body;
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"UTF-16LE with BOM (Version 5.00)", "\xFF\xFE" + testsupport::Encode("UTF-16LE", v5)},
        {"UTF-8 (this tool's export)", v5},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + v5},
        {"CP932 (REGEDIT4)", testsupport::Encode("CP932", "REGEDIT4\r\n\r\n" + body)},
    };
    for (const auto& c : cases) {
        std::vector<regfile::Key> keys;
        int line = 0;
        std::string error;
        ASSERT_TRUE(regfile::ParseFile(c.bytes, keys, line, error)) << c.name << ": " << line << ": " << error;
        ASSERT_EQ(keys.size(), 1u) << c.name;
        EXPECT_EQ(keys[0].path, "HKEY_CURRENT_USER\\Software\\PARVEX\\PROVIDER\\ソフト表示\\/pub") << c.name;
        EXPECT_EQ(keys[0].line, 3) << c.name;
        ASSERT_EQ(keys[0].values.size(), 3u) << c.name;
        EXPECT_EQ(keys[0].values[0].name, "MenuName");
        EXPECT_EQ(keys[0].values[0].data, std::string("ソフト表示", sizeof "ソフト表示")) << c.name;
        EXPECT_EQ(keys[0].values[1].data, std::string("\x15\0\0\0", 4));
        EXPECT_EQ(keys[0].values[2].data, "\x01\x02\x03");
    }
}

TEST(RegFile, MalformedInputNamesTheLine) {
    struct Case {
        std::string text;
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
        {"Windows Registry Editor Version 5.00\r\n[HKCU\\X]\r\n\"Path\"=hex(2):25,00,\\\r\n  00,00\r\n", 3,
         "expandable string (hex(2)) values are not supported"},
        {"Windows Registry Editor Version 5.00\n[HKCU\\X]\n\"a\"=\"b\"\n\"List\"=hex(7):61,00,00,00,00,00\n", 4,
         "multi-string (hex(7)) values are not supported"},
        {"Windows Registry Editor Version 5.00\n\n[HKCU\\X\\" + std::string(256, 'k') + "\\Y]\n", 3,
         "is too long (256 bytes; a key name may have at most 255 bytes"},
        {"Windows Registry Editor Version 5.00\n[HKCU\\X]\n\"" + std::string(16384, 'v') + "\"=\"\"\n", 3,
         "the value name \"vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv...\" is too long (16384 bytes"},
        {"\xFF\xFEW\0i\0\n\0\x01"s, 2, "not valid UTF-16LE text (byte 8)"},
        {"\xFF\xFEW\0\n\0\n\0\x00\xD8x\0"s, 3, "not valid UTF-16LE text"},
        {"REGEDIT4\r\n\r\n[HKCU\\\x83\x5C\x85\x40]\r\n", 3, "not valid UTF-8 nor CP932 text (byte 20)"},
        {"\xEF\xBB\xBFWindows Registry Editor Version 5.00\n\xC0\xAF", 2, "not valid UTF-8 text"},
    };
    for (const auto& c : cases) {
        std::vector<regfile::Key> keys;
        int line = 0;
        std::string error;
        EXPECT_FALSE(regfile::ParseFile(c.text, keys, line, error)) << c.text;
        EXPECT_EQ(line, c.line) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << " -> " << error;
    }
}

}  // namespace
