// The library's file entry points as the programs call them, checked
// against an independent converter on a real Japanese dictionary.
#include "tesvar/tesvar.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <random>

#include <dirent.h>
#include <fcntl.h>
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

// The names in `dir`, sorted.
std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.' || (e->d_name[1] != '\0' && e->d_name[1] != '.')) names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// nkf -x (half-width kana kept) with the given options, writing to `out`.
std::string Nkf(const std::string& options, const std::string& in, const std::string& out) {
    auto r = RunProgram({"/bin/sh", "-c", "nkf -x " + options + " '" + in + "' > '" + out + "'"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return ReadFile(out);
}

TEST(TesvarFiles, DictionaryMatchesNkfInEveryDirectionAndRoundTrips) {
    ASSERT_EQ(access(kCorpus, R_OK), 0) << "the test setup installs Debian's skkdic";
    testsupport::TempDir dir;
    std::string euc = kCorpus, sjis = dir / "d.sjis", jis = dir / "d.jis", back = dir / "d.euc";

    ASSERT_EQ(ConvertFile(0, euc, sjis), TESVAR_OK);
    EXPECT_TRUE(ReadFile(sjis) == Nkf("-E -s", euc, dir / "nkf.sjis")) << "EUC -> SJIS";
    ASSERT_EQ(ConvertFile(1, sjis, jis), TESVAR_OK);
    EXPECT_TRUE(ReadFile(jis) == Nkf("-S -j", sjis, dir / "nkf.jis")) << "SJIS -> JIS";
    ASSERT_EQ(ConvertFile(2, jis, back), TESVAR_OK);
    EXPECT_TRUE(ReadFile(back) == Nkf("-J -e", jis, dir / "nkf.euc")) << "JIS -> EUC";
    EXPECT_TRUE(ReadFile(back) == ReadFile(euc)) << "EUC -> SJIS -> JIS -> EUC gives the original";

    // The same text as UTF-8 reaches the same bytes through the Unicode table.
    std::string utf8 = dir / "d.utf8";
    ASSERT_EQ(RunProgram({"/bin/sh", "-c", "iconv -f EUC-JP -t UTF-8 '" + euc + "' > '" + utf8 + "'"}).exitCode, 0);
    for (int code = 0; code < 3; ++code) {
        ASSERT_EQ(ConvertFile(code, utf8, dir / "u"), TESVAR_OK);
        EXPECT_TRUE(ReadFile(dir / "u") == ReadFile(std::vector{sjis, jis, back}[code])) << "UTF-8 -> " << code;
    }
}

// What the library refuses, and what every refusal leaves: the destination as it was (absent stays absent, an
// existing file keeps its bytes and its mtime), no temporary file beside it, and the source untouched.
TEST(TesvarFiles, NonTextIsRefusedAndTextConverts) {
    std::mt19937 rng(7);
    std::string random(4096, '\0');
    for (char& c : random) c = static_cast<char>(rng());
    std::string aa, eucAa;
    for (int i = 0; i < 20; ++i) aa += "\x82\xA0", eucAa += "\xA4\xA2";
    const std::string stray = aa + "\xFF" + aa + "\n";
    const std::string lateNul = "\x82\xA0" + std::string(2 << 20, 'a') + std::string(1, '\0') + "\n";
    struct Case {
        const char* name;
        std::string in;
        int rc;
        std::string out;  // EUC-JP, for TESVAR_OK
    } cases[] = {
        {"program with NULs", std::string("\x7F" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0", 16), TESVAR_NOT_TEXT, ""},
        {"PNG header", std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\x01\0", 20), TESVAR_NOT_TEXT, ""},
        {"random bytes", random, TESVAR_NOT_TEXT, ""},
        {"a NUL past what detection reads", lateNul, TESVAR_NOT_TEXT, ""},
        {"Latin-1 text", "caf\xE9 cr\xE8me br\xFBl\xE9" "e, d\xE9j\xE0 vu\n", TESVAR_NOT_TEXT, ""},
        {"UTF-16LE", std::string("a\0b\0\n\0", 6), TESVAR_NOT_TEXT, ""},
        // Each code's own text: the Detect and Convert tables.
        {"plain ASCII", "<p>Hello, world.</p>\r\n\tdone\f\x1A", TESVAR_OK, "<p>Hello, world.</p>\r\n\tdone\f\x1A"},
        {"ISO-2022-JP", "\x1B$B$3$s$K$A$O\x1B(B\n", TESVAR_OK, "\xA4\xB3\xA4\xF3\xA4\xCB\xA4\xC1\xA4\xCF\n"},
        {"Shift_JIS with one broken byte", stray, TESVAR_OK,
         eucAa + "\xA2\xAE" + eucAa + "\n"},
    };
    for (const Case& c : cases) {
        testsupport::TempDir dir;
        std::string src = dir / "in.txt", dst = dir / "out.txt";
        WriteFile(src, c.in);
        EXPECT_EQ(ConvertFile(2, src, dir / "new.txt"), c.rc) << c.name;
        WriteFile(dst, "previous");
        EXPECT_EQ(ConvertFile(2, src, dst), c.rc) << c.name;
        if (c.rc == TESVAR_OK) {
            EXPECT_TRUE(ReadFile(dst) == c.out) << c.name;
        } else {
            EXPECT_EQ(errno, EILSEQ) << c.name;
            EXPECT_EQ(ReadFile(dst), "previous") << c.name;
            EXPECT_EQ(Entries(dir.path()).size(), 2u) << c.name << ": the new file is not made, no temporary is left";
        }
        EXPECT_TRUE(ReadFile(src) == c.in) << c.name;
    }
}

TEST(TesvarFiles, FailuresLeaveTheDestinationAsItWas) {
    testsupport::TempDir dir;
    std::string src = dir / "notes.txt", dst = dir / "notes.euc", sub = dir / "sub";
    WriteFile(src, "\x82\xA0\n");
    mkdir(sub.c_str(), 0755);
    struct Case {
        const char* name;
        int code;
        std::string src, dst;
        int rc;
    } cases[] = {
        {"a typo in the source name", 2, dir / "notes.txt~", dst, TESVAR_READ_FAILED},
        {"a folder as the source", 2, dir.path(), dst, TESVAR_READ_FAILED},
        {"an unknown code", 7, src, dst, TESVAR_BAD_ARGUMENT},
        {"an empty source path", 2, "", dst, TESVAR_BAD_ARGUMENT},
        {"a folder as the destination", 2, src, sub, TESVAR_WRITE_FAILED},
        {"a destination in a missing folder", 2, src, dir / "no/such/out.txt", TESVAR_WRITE_FAILED},
        {"a full disk", 2, src, "/dev/full", TESVAR_WRITE_FAILED},
    };
    for (const Case& c : cases) {
        WriteFile(dst, "stale but good");
        struct stat before {}, after {};
        stat(dst.c_str(), &before);
        EXPECT_EQ(ConvertFile(c.code, c.src, c.dst), c.rc) << c.name;
        stat(dst.c_str(), &after);
        EXPECT_EQ(ReadFile(dst), "stale but good") << c.name;
        EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec) << c.name;
        EXPECT_EQ((std::vector<std::string>{"notes.euc", "notes.txt", "sub"}), Entries(dir.path())) << c.name;
        EXPECT_TRUE(Entries(sub).empty()) << c.name;
    }
    struct stat st {};
    EXPECT_TRUE(stat("/dev/full", &st) == 0 && S_ISCHR(st.st_mode)) << "a device is never replaced by a file";
    EXPECT_EQ(StartCodeConvert(0, nullptr, nullptr), TESVAR_BAD_ARGUMENT);

    // A failed write partway through (here the file size limit) keeps the old file.
    std::string big = dir / "big.txt";
    WriteFile(big, std::string(300000, 'a') + "\n");
    auto r = RunProgram({"/bin/sh", "-c", "ulimit -f 100; trap '' XFSZ; exec \"$0\" euc \"$1\" \"$2\"", TESVAR_TOOL,
                         big, dst});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot write " + dst + ": File too large"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(dst), "stale but good");
    EXPECT_EQ(Entries(dir.path()).size(), 4u) << "no temporary is left";
}

TEST(TesvarFiles, LinksDevicesAndPipesAreWrittenNotReplaced) {
    testsupport::TempDir dir;
    std::string src = dir / "in.txt";
    WriteFile(src, "\x82\xA0\n");
    mkdir((dir / "real").c_str(), 0755);
    WriteFile(dir / "real/page.html", "old");
    chmod((dir / "real/page.html").c_str(), 0604);
    symlink("real/page.html", (dir / "link").c_str());
    symlink("real/fresh.html", (dir / "dangling").c_str());
    symlink("link", (dir / "chain").c_str());

    ASSERT_EQ(ConvertFile(2, src, dir / "chain"), TESVAR_OK);
    ASSERT_EQ(ConvertFile(2, src, dir / "dangling"), TESVAR_OK);
    struct stat st {};
    for (const char* link : {"link", "chain", "dangling"}) {
        lstat((dir / link).c_str(), &st);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << link << " stays a link";
    }
    EXPECT_EQ(ReadFile(dir / "real/page.html"), "\xA4\xA2\n");
    EXPECT_EQ(ReadFile(dir / "real/fresh.html"), "\xA4\xA2\n");
    stat((dir / "real/page.html").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0604u) << "the target keeps its mode";
    EXPECT_EQ(Entries(dir / "real").size(), 2u);

    EXPECT_EQ(ConvertFile(2, src, "/dev/null"), TESVAR_OK);
    stat("/dev/null", &st);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    std::string fifo = dir / "fifo";
    mkfifo(fifo.c_str(), 0600);
    EXPECT_EQ(ConvertFile(2, src, fifo), TESVAR_WRITE_FAILED) << "nobody reads: fails at once, no hang";
    lstat(fifo.c_str(), &st);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(ConvertFile(2, src, fifo), TESVAR_OK);
    char got[16] = {};
    EXPECT_EQ(read(reader, got, sizeof got), 3) << "a pipe with a reader gets the text";
    EXPECT_STREQ(got, "\xA4\xA2\n");
    close(reader);
}

TEST(TesvarFiles, NewFilesFollowTheUmaskWithoutTheLibrarySettingIt) {
    // Setting the umask to learn it would race with other threads creating files.
    auto r = RunProgram({"/bin/sh", "-c", std::string("nm -D --undefined-only ") + TESVAR_LIBRARY});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find(" umask"), std::string::npos);
    testsupport::TempDir dir;
    WriteFile(dir / "in", "a\n");
    for (mode_t mask : {022, 077}) {
        mode_t was = umask(mask);
        std::string out = dir / ("out" + std::to_string(mask));
        EXPECT_EQ(ConvertFile(0, dir / "in", out), TESVAR_OK);
        EXPECT_EQ(umask(was), mask);
        struct stat st {};
        stat(out.c_str(), &st);
        EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
    }
}

TEST(TesvarFiles, InPlaceAndEmpty) {
    testsupport::TempDir dir;
    std::string f = dir / "page.html";
    WriteFile(f, "<p>\x82\xA0</p>\n");
    ASSERT_EQ(ConvertFile(2, f, f), TESVAR_OK);
    EXPECT_EQ(ReadFile(f), "<p>\xA4\xA2</p>\n");

    std::string empty = dir / "empty", out = dir / "out";
    WriteFile(empty, "");
    ASSERT_EQ(ConvertFile(1, empty, out), TESVAR_OK);
    EXPECT_EQ(access(out.c_str(), F_OK), 0);
    EXPECT_EQ(ReadFile(out), "");
}

TEST(TesvarFiles, DocumentsFolder) {
    testsupport::TempDir home;
    testsupport::ScopedEnv homeEnv("HOME", home.path()), config("XDG_CONFIG_HOME", nullptr);
    auto folder = [](int id) {
        char buf[260];
        std::fill(std::begin(buf), std::end(buf), '#');
        EXPECT_EQ(GetSpecialFolder(id, buf), TESVAR_OK);
        return std::string(buf);
    };
    EXPECT_EQ(folder(5), home.path()) << "no Documents folder: the home folder";
    mkdir((home / "Documents").c_str(), 0700);
    EXPECT_EQ(folder(5), home / "Documents");
    mkdir((home / ".config").c_str(), 0700);
    WriteFile(home / ".config/user-dirs.dirs", "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                               "XDG_DOCUMENTS_DIR=\"$HOME/文書\"\n");
    EXPECT_EQ(folder(5), home / "文書");
    EXPECT_EQ(folder(0), home.path());

    // A path too long for the buffer is cut, at a character boundary, and terminated.
    std::string deep = home.path() + "/" + std::string(200, 'x');
    for (int i = 0; i < 30; ++i) deep += "文";
    WriteFile(home / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"" + deep + "\"\n");
    std::string got = folder(5);
    EXPECT_LT(got.size(), 260u);
    EXPECT_EQ(got, deep.substr(0, got.size()));
    EXPECT_NE(static_cast<unsigned char>(deep[got.size()]) & 0xC0, 0x80u);
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
    EXPECT_NE(r.err.find("cannot read " + dir / "missing" + ": No such file"), std::string::npos) << r.err;
    WriteFile(dir / "z.gz", std::string("\x1F\x8B\x08\0\0\0\0\0", 8));
    r = RunProgram({TESVAR_TOOL, "jis", dir / "z.gz", dir / "b.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("not text"), std::string::npos) << r.err;
    r = RunProgram({TESVAR_TOOL, "--guess", dir / "z.gz", dir / "a.txt"});
    EXPECT_EQ(r.out, dir / "z.gz: binary\n" + dir / "a.txt: EUC-JP\n");
}

}  // namespace
