// The library's file entry points as the programs call them, checked
// against an independent converter on a real Japanese dictionary.
#include "tesvar/tesvar.h"
#include "tests/support/test_support.h"
#include "tests/tesvar/validate.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::ReadFile;
using testsupport::RunProgram;
using testsupport::WriteFile;

namespace {

const char* kCorpus = "/usr/share/skk/SKK-JISYO.L";  // 4.5 MB of EUC-JP (Debian skkdic)

int ConvertFile(int code, const std::string& src, const std::string& dst) {
    const char* s = src.c_str();
    const char* d = dst.c_str();
    return StartCodeConvert(code, &s, &d);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.' || (e->d_name[1] != '\0' && e->d_name[1] != '.')) names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

// nkf -x (half-width kana kept) with the given options, writing to `out`.
std::string Nkf(const std::string& options, const std::string& in, const std::string& out) {
    auto r = RunProgram({"/bin/sh", "-c", "nkf -x " + options + " '" + in + "' > '" + out + "'"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return ReadFile(out);
}

TEST(TesvarFiles, DictionaryMatchesNkfInEveryDirectionAndRoundTrips) {
    ASSERT_TRUE(Exists(kCorpus)) << "the test setup installs Debian's skkdic";
    testsupport::TempDir dir;
    std::string euc = kCorpus, sjis = dir / "d.sjis", jis = dir / "d.jis", back = dir / "d.euc", again = dir / "again.sjis";

    ASSERT_EQ(ConvertFile(0, euc, sjis), TESVAR_OK);
    EXPECT_TRUE(ReadFile(sjis) == Nkf("-E -s", euc, dir / "nkf.sjis")) << "EUC -> SJIS";
    ASSERT_EQ(ConvertFile(1, sjis, jis), TESVAR_OK);
    EXPECT_TRUE(ReadFile(jis) == Nkf("-S -j", sjis, dir / "nkf.jis")) << "SJIS -> JIS";
    ASSERT_EQ(ConvertFile(2, jis, back), TESVAR_OK);
    EXPECT_TRUE(ReadFile(back) == Nkf("-J -e", jis, dir / "nkf.euc")) << "JIS -> EUC";
    EXPECT_TRUE(ReadFile(back) == ReadFile(euc)) << "EUC -> SJIS -> JIS -> EUC gives the original";
    ASSERT_EQ(ConvertFile(0, back, again), TESVAR_OK);
    EXPECT_TRUE(ReadFile(again) == ReadFile(sjis)) << "... and back to SJIS";

    // The same text as UTF-8 reaches the same bytes through the Unicode table.
    std::string utf8 = dir / "d.utf8";
    ASSERT_EQ(RunProgram({"/bin/sh", "-c", "iconv -f EUC-JP -t UTF-8 '" + euc + "' > '" + utf8 + "'"}).exitCode, 0);
    for (int code = 0; code < 3; ++code) {
        std::string out = dir / ("u" + std::to_string(code));
        ASSERT_EQ(ConvertFile(code, utf8, out), TESVAR_OK);
        const std::string expected[] = {sjis, jis, back};
        EXPECT_TRUE(ReadFile(out) == ReadFile(expected[code])) << "UTF-8 -> " << code;
    }
}

TEST(TesvarFiles, FailuresLeaveNoDestinationAndNeverTouchTheSource) {
    testsupport::TempDir dir;
    std::string src = dir / "notes.txt", dst = dir / "notes.txt.tmp";
    WriteFile(src, "\x82\xA0\n");

    // A stale copy from an earlier run must not survive a failed conversion.
    WriteFile(dst, "stale");
    EXPECT_NE(ConvertFile(2, dir / "missing.txt", dst), TESVAR_OK);
    EXPECT_FALSE(Exists(dst));
    WriteFile(dst, "stale");
    EXPECT_NE(ConvertFile(7, src, dst), TESVAR_OK);
    EXPECT_FALSE(Exists(dst));
    EXPECT_NE(ConvertFile(2, dir.path(), dst), TESVAR_OK) << "a folder is not a text file";

    EXPECT_NE(ConvertFile(2, src, dir / "no/such/folder/out.txt"), TESVAR_OK);
    if (geteuid() != 0) {  // root writes anywhere
        std::string ro = dir / "ro";
        mkdir(ro.c_str(), 0555);
        EXPECT_NE(ConvertFile(2, src, ro + "/out.txt"), TESVAR_OK);
        EXPECT_TRUE(Entries(ro).empty());
    }
    EXPECT_EQ(ReadFile(src), "\x82\xA0\n");
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"notes.txt"}) << "no temporary file is left behind";

    const char* nothing = nullptr;
    const char* d = dst.c_str();
    EXPECT_EQ(StartCodeConvert(0, &nothing, &d), TESVAR_BAD_ARGUMENT);
    EXPECT_EQ(StartCodeConvert(0, nullptr, nullptr), TESVAR_BAD_ARGUMENT);
}

TEST(TesvarFiles, InPlaceEmptyAndModes) {
    testsupport::TempDir dir;
    std::string f = dir / "page.html";
    WriteFile(f, "<p>\x82\xA0</p>\n");
    chmod(f.c_str(), 0640);
    ASSERT_EQ(ConvertFile(2, f, f), TESVAR_OK);
    EXPECT_EQ(ReadFile(f), "<p>\xA4\xA2</p>\n");
    struct stat st {};
    stat(f.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "an existing destination keeps its mode";

    std::string empty = dir / "empty", out = dir / "out";
    WriteFile(empty, "");
    ASSERT_EQ(ConvertFile(1, empty, out), TESVAR_OK);
    EXPECT_TRUE(Exists(out));
    EXPECT_EQ(ReadFile(out), "");
}

TEST(TesvarFiles, ACutAtTheReadBufferEdgeIsJoined) {
    // The library reads 1 MiB at a time: put a character across that edge.
    testsupport::TempDir dir;
    std::string text(1024 * 1024 - 1, 'a');
    text += "\xA4\xA2\n";
    WriteFile(dir / "in", text);
    ASSERT_EQ(ConvertFile(0, dir / "in", dir / "out"), TESVAR_OK);
    std::string out = ReadFile(dir / "out");
    EXPECT_EQ(out.substr(out.size() - 3), "\x82\xA0\n");
    EXPECT_EQ(tesvartest::FirstInvalid(out, 0), std::string::npos);
}

TEST(TesvarFiles, DocumentsFolder) {
    testsupport::TempDir home;
    std::string old = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", home.path().c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    char buf[260];
    EXPECT_EQ(GetSpecialFolder(5, buf), TESVAR_OK);
    EXPECT_EQ(std::string(buf), home.path()) << "no Documents folder: the home folder";
    mkdir((home / "Documents").c_str(), 0700);
    GetSpecialFolder(5, buf);
    EXPECT_EQ(std::string(buf), home / "Documents");
    mkdir((home / ".config").c_str(), 0700);
    WriteFile(home / ".config/user-dirs.dirs", "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/文書\"\n");
    GetSpecialFolder(5, buf);
    EXPECT_EQ(std::string(buf), home / "文書");
    GetSpecialFolder(0, buf);
    EXPECT_EQ(std::string(buf), home.path());

    // A path too long for the buffer is cut, at a character boundary, and terminated.
    std::string deep = home.path() + "/" + std::string(200, 'x');
    for (int i = 0; i < 30; ++i) deep += "文";
    WriteFile(home / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"" + deep + "\"\n");
    std::fill(std::begin(buf), std::end(buf), '#');
    GetSpecialFolder(5, buf);
    std::string got = buf;
    EXPECT_LT(got.size(), 260u);
    EXPECT_EQ(got, deep.substr(0, got.size()));
    EXPECT_NE(static_cast<unsigned char>(deep[got.size()]) & 0xC0, 0x80u);
    setenv("HOME", old.c_str(), 1);
}

TEST(TesvarTool, GuessesAndConvertsLikeNkf) {
    testsupport::TempDir dir;
    WriteFile(dir / "a.txt", "\xA4\xB3\xA4\xF3\xA4\xCB\xA4\xC1\xA4\xCF\n");
    auto r = RunProgram({TESVAR_TOOL, "--guess", dir / "a.txt"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "EUC-JP\n");
    r = RunProgram({TESVAR_TOOL, "sjis", dir / "a.txt", dir / "b.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(dir / "b.txt"), "\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD\n");
    r = RunProgram({TESVAR_TOOL, "utf16", dir / "a.txt", dir / "c.txt"});
    EXPECT_EQ(r.exitCode, 2);
    r = RunProgram({TESVAR_TOOL, "jis", dir / "missing", dir / "c.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot read"), std::string::npos);
}

}  // namespace
