// How the browser shows a server's names, and which typed names it refuses
// to send: pure functions, checked from tables.
#include "browser/core/ids.h"
#include "common/walk/remote_listing.h"
#include "browser/core/operations.h"

#include <gtest/gtest.h>

#include <string>

using namespace brovin;

namespace {

using namespace std::string_literals;

TEST(ShownName, EveryByteIsVisibleAndTheTextIsOneLineOfUtf8) {
    const struct {
        std::string raw;
        std::string shown;
    } cases[] = {
        {"index.html", "index.html"},
        {"", ""},
        {"日本語 ファイル.txt", "日本語 ファイル.txt"},
        {"\u3000全角空白\u00a0", "\u3000全角空白\u00a0"},
        {"\xf0\x9f\x98\x80.png", "\xf0\x9f\x98\x80.png"},
        {"a\\b", "a\\b"},
        // Shift_JIS "日本語.txt" and bytes that are no text at all.
        {"\x93\xfa\x96{\x8c\xea.txt", "\\x93\\xFA\\x96{\\x8C\\xEA.txt"},
        {"\xff\xfe.bin", "\\xFF\\xFE.bin"},
        {"\xc0\xaf", "\\xC0\\xAF"},                        // "/" in an overlong form
        {"\xed\xa0\x80x", "\\xED\\xA0\\x80x"},             // a surrogate
        {"\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},      // past U+10FFFF
        {"end\xe6\x97", "end\\xE6\\x97"},                  // a character cut short
        {"\xe6\x97\xa5\x80", "日\\x80"},                   // a stray continuation byte
        // Control characters: one row stays one line, and a NUL does not end the name.
        {"a\0b.txt"s, "a\\x00b.txt"},
        {"cr\rname", "cr\\rname"},
        {"lf\nname", "lf\\nname"},
        {"tab\tname", "tab\\tname"},
        {"\x1b[31mred", "\\x1B[31mred"},
        {"del\x7f", "del\\x7F"},
        {"next\xc2\x85line", "next\\u0085line"},
        // Invisible characters that hide or turn text: "rtl<U+202E>txt.exe" would read "rtlexe.txt".
        {"rtl\xe2\x80\xaetxt.exe", "rtl\\u202Etxt.exe"},
        {"zero\xe2\x80\x8bwidth", "zero\\u200Bwidth"},
        {"\xef\xbb\xbf" "bom", "\\uFEFFbom"},
        {"line\xe2\x80\xa8sep", "line\\u2028sep"},
    };
    for (const auto& c : cases) EXPECT_EQ(walk::ShownName(c.raw), c.shown) << c.shown;
}

TEST(NameProblem, EmptyNamesAndNamesThatWouldEndTheCommandAreRefused) {
    const struct {
        std::string name;
        int problem;
    } cases[] = {
        {"", IDS_NAME_EMPTY},
        {"a\rb", IDS_NAME_UNSENDABLE},
        {"a\nDELE x", IDS_NAME_UNSENDABLE},
        {"a\0b"s, IDS_NAME_UNSENDABLE},
        {"new name.txt", 0},
        {"日本語", 0},
        {"tab\tname", 0},
        {"sub/dir", 0},  // the server decides whether it makes or moves there
        {" ", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(NameProblem(c.name), c.problem) << walk::ShownName(c.name);
}

TEST(ErrorText, TheTableTextOrTheCodeWhenTheTableHasNone) {
    EXPECT_EQ(ErrorText(inet::ERROR_INTERNET_CANNOT_CONNECT), "サーバーに接続できませんでした。");
    EXPECT_EQ(ErrorText(99999), "エラー 99999");
}

}  // namespace
