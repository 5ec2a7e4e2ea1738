// Text or binary, and the converted copy, as the options decide per file.
#include "common/walk/transfer_mode.h"

#include "common/registry/layout.h"
#include "tests/support/test_support.h"
#include "common/walk/extension_list.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

using namespace walk;

namespace {

class TransferMode : public ::testing::Test {
protected:
    testsupport::ScopedStore store;
    testsupport::TempDir dir;

    void Options(const char* textMode, winreg::DWORD codeConvert, winreg::DWORD uploadConvert, int code = -1) {
        SettingKey key;
        ASSERT_EQ(key.CreateKey(winreg::HKEY_CURRENT_USER, layout::kOptionKey), 0);
        key.WriteString(layout::kTextMode, textMode);
        key.WriteString(layout::kBinaryMode, layout::kFirstRunBinaryMode);
        key.WriteDword(layout::kCodeConvert, codeConvert);
        key.WriteDword(layout::kUploadConvert, uploadConvert);
        if (code >= 0)
            key.WriteDword(layout::kUploadConvCode, static_cast<winreg::DWORD>(code));
        else
            key.DeleteValue(layout::kUploadConvCode);
    }
};

TEST(ExtensionLists, TheTwoModeMatchesRunInOppositeDirectionsAndRoutingTakesWholeExtensions) {
    const std::string list = ".htm;;.txt;";
    EXPECT_EQ(ExtensionEntries(list), (std::vector<std::string>{".HTM", ".TXT"}));
    EXPECT_TRUE(EntryInExtension(".html", list)) << "the entry .HTM occurs in .HTML";
    EXPECT_FALSE(EntryInExtension(".ht", list));
    EXPECT_FALSE(EntryInExtension("", list));
    EXPECT_TRUE(ExtensionInEntry(".ht", list)) << ".HT occurs in the entry .HTM";
    EXPECT_FALSE(ExtensionInEntry(".html", list));
    EXPECT_TRUE(ExtensionInEntry("", list)) << "an empty extension matches the first entry";
    EXPECT_FALSE(ExtensionInEntry("", ""));

    // Routing matches whole extensions only.
    const struct {
        const char* extension;
        const char* list;
        bool listed;
    } cases[] = {
        {".jpeg", ".jpeg;", true}, {".JPEG", ".jpeg;", true}, {".jpeg", ".gif;;.JPEG", true},
        {"", ".jpeg;", false},     {"", ";;", false},         {".jp", ".jpeg;", false},
        {".e", ".jpeg;", false},   {".peg", ".jpeg;", false}, {".jpeg", ".jp;", false},
        {".jpeg", "", false},      {"jpeg", ".jpeg;", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExtensionListed(c.extension, c.list), c.listed) << c.extension << " in " << c.list;
}

TEST_F(TransferMode, ModeFollowsTextModeOnly) {
    Options(".htm;.html;.txt;", 0, 0);
    EXPECT_EQ(TransferTypeFor("/site/index.HTML"), kTextMode);
    EXPECT_EQ(TransferTypeFor("/site/photo.jpg"), kBinaryMode);
    EXPECT_EQ(TransferTypeFor("/site/data.bin"), kBinaryMode);
    EXPECT_EQ(TransferTypeFor("/site/README"), kBinaryMode);
    EXPECT_EQ(TransferTypeFor("/site/release.old/notes"), kBinaryMode) << "a folder's period is not the file's";

    // A list of 256 characters or more cannot be read and counts as empty.
    Options((std::string(300, 'x') + ";.htm;").c_str(), 0, 0);
    EXPECT_EQ(TransferTypeFor("/site/index.htm"), kBinaryMode);

    testsupport::ScopedStore empty;  // no Option key at all: binary, and nothing is created
    EXPECT_EQ(TransferTypeFor("/site/index.htm"), kBinaryMode);
    SettingKey key;
    EXPECT_NE(key.OpenKey(winreg::HKEY_CURRENT_USER, layout::kOptionKey), 0);
}

TEST_F(TransferMode, ConversionMakesAFreshPrivateCopyAndSaysSo) {
    Options(".htm;.html;.txt;", 1, 1, 2);
    std::string page = dir / "index.HTML", twin = dir / "index.txt";
    testsupport::WriteFile(page, "<p>\x82\xA0</p>\n");
    testsupport::WriteFile(twin, "\x82\xA2\n");
    std::string said;
    const auto say = [&](const std::string& text) { said = text; };
    std::string sent, sentTwin;
    ASSERT_TRUE(ConvertForUpload(page, sent, say));
    ASSERT_TRUE(ConvertForUpload(twin, sentTwin, say));
    EXPECT_EQ(said, "EUCコードへ変換中...");
    EXPECT_EQ(sent.rfind(TempCopyFolder(), 0), 0u) << sent;
    EXPECT_NE(sent, sentTwin) << "index.HTML and index.txt once shared index.tmp";
    EXPECT_EQ(testsupport::ReadFile(sent), "<p>\xA4\xA2</p>\n");
    EXPECT_EQ(testsupport::ReadFile(sentTwin), "\xA4\xA4\n");
    EXPECT_NE(TempCopyFolder(), "/tmp/") << "copies live in a folder of this process's own";
    RemoveTempCopy(sent);
    RemoveTempCopy(sentTwin);
    EXPECT_TRUE(std::filesystem::is_empty(TempCopyFolder()));

    for (int code : {-1, 0}) {  // code missing: JIS; code 0: SJIS
        Options(".htm;.html;.txt;", 1, 1, code);
        ASSERT_TRUE(ConvertForUpload(page, sent, say));
        EXPECT_EQ(said, code < 0 ? "JISコードへ変換中..." : "SJISコードへ変換中...");
        RemoveTempCopy(sent);
    }

    // A file that cannot be read is not sent at all, and leaves no copy.
    EXPECT_FALSE(ConvertForUpload(dir / "gone.txt", sent));
    EXPECT_TRUE(std::filesystem::is_empty(TempCopyFolder()));
}

TEST_F(TransferMode, WhenNothingIsConverted) {
    std::string photo = dir / "photo.jpg", readme = dir / "README";
    for (const auto& f : {photo, readme}) testsupport::WriteFile(f, "x");
    std::string sent, said;
    const auto convert = [&](const std::string& path) {
        EXPECT_TRUE(ConvertForUpload(path, sent, [&](const std::string& text) { said += text; }));
        return sent;
    };
    Options(layout::kFirstRunTextMode, 1, 1, 2);
    EXPECT_EQ(convert(photo), photo);
    EXPECT_NE(convert(readme), readme) << "no extension matches the first entry";
    RemoveTempCopy(sent);
    said.clear();
    for (auto [codeConvert, uploadConvert, code] : {std::tuple{1, 0, 2}, {0, 1, 2}, {1, 1, 3}}) {
        Options(layout::kFirstRunTextMode, codeConvert, uploadConvert, code);
        EXPECT_EQ(convert(dir / "a.txt"), dir / "a.txt") << codeConvert << uploadConvert << code;
    }
    EXPECT_EQ(said, "");

    // Nothing in the copies' folder that was not made there is deleted.
    testsupport::WriteFile(TempCopyFolder() + "copy-user", "y");
    RemoveTempCopy(TempCopyFolder() + "copy-user");
    EXPECT_EQ(testsupport::ReadFile(TempCopyFolder() + "copy-user"), "y");
    ::unlink((TempCopyFolder() + "copy-user").c_str());
}

TEST_F(TransferMode, CopiesOfProcessesThatAreGoneAreRemoved) {
    // The folder of a run that was killed before its clean-up, beside ones that must stay.
    pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const std::string tmp = dir.path() + "/", stale = tmp + "parvex-" + std::to_string(dead) + "-a1B2c3";
    const std::string alive = tmp + "parvex-" + std::to_string(::getppid()) + "-a1B2c3";
    const std::string linked = tmp + "parvex-" + std::to_string(dead) + "-linked";
    const std::string odd = tmp + "parvex-" + std::to_string(dead) + "-x";
    const std::string keep = dir / "keep";
    for (const auto& d : {stale, alive, odd, keep}) ::mkdir(d.c_str(), 0700);
    testsupport::WriteFile(stale + "/copy-AbCdEf", std::string(4096, 'c'));
    testsupport::WriteFile(keep + "/precious", "p");
    ::symlink(keep.c_str(), (stale + "/into-keep").c_str());
    ::symlink(keep.c_str(), linked.c_str());
    const char* old = std::getenv("TMPDIR");
    std::string saved = old ? old : "";
    ::setenv("TMPDIR", dir.path().c_str(), 1);
    int removed = RemoveStaleTempFolders();
    old ? ::setenv("TMPDIR", saved.c_str(), 1) : ::unsetenv("TMPDIR");
    EXPECT_EQ(removed, 1);
    struct stat st {};
    EXPECT_NE(::lstat(stale.c_str(), &st), 0);
    for (const auto& p : {alive, odd, linked, keep + "/precious"}) EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
}

}  // namespace
