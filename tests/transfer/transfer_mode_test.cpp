// Text or binary, and the converted copy, as the options decide per file.
#include "transfer/transfer_mode.h"

#include "common/registry/layout.h"
#include "tests/support/test_support.h"
#include "tests/transfer/recording_display.h"
#include "transfer/extension_list.h"

#include <gtest/gtest.h>

using namespace transfer;

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

TEST(ExtensionLists, TheTwoMatchesRunInOppositeDirections) {
    const std::string list = ".htm;;.txt;";
    EXPECT_EQ(ExtensionEntries(list), (std::vector<std::string>{".HTM", ".TXT"}));
    EXPECT_TRUE(EntryInExtension(".html", list)) << "the entry .HTM occurs in .HTML";
    EXPECT_FALSE(EntryInExtension(".ht", list));
    EXPECT_FALSE(EntryInExtension("", list));
    EXPECT_TRUE(ExtensionInEntry(".ht", list)) << ".HT occurs in the entry .HTM";
    EXPECT_FALSE(ExtensionInEntry(".html", list));
    EXPECT_TRUE(ExtensionInEntry("", list)) << "an empty extension matches the first entry";
    EXPECT_FALSE(ExtensionInEntry("", ""));
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

TEST_F(TransferMode, ConversionMakesAPrivateCopyAndSaysSo) {
    Options(".htm;.html;.txt;", 1, 1, 2);
    std::string page = dir / "index.HTML";
    testsupport::WriteFile(page, "<p>\x82\xA0</p>\n");
    transfertest::RecordingDisplay display;
    std::string sent = ConvertForUpload(page);
    EXPECT_EQ(sent, TempCopyFolder() + "index.tmp");
    EXPECT_EQ(display.status, "EUCコードへ変換中...");
    EXPECT_EQ(testsupport::ReadFile(sent), "<p>\xA4\xA2</p>\n");
    EXPECT_NE(TempCopyFolder(), "/tmp/") << "copies live in a folder of this process's own";
    RemoveTempCopy(sent);
    EXPECT_FALSE(testsupport::ReadFile(sent) == "<p>\xA4\xA2</p>\n");

    // Code missing: JIS. Code 0: SJIS.
    Options(".htm;.html;.txt;", 1, 1);
    EXPECT_EQ(ConvertForUpload(page), TempCopyFolder() + "index.tmp");
    EXPECT_EQ(display.status, "JISコードへ変換中...");
    Options(".htm;.html;.txt;", 1, 1, 0);
    ConvertForUpload(page);
    EXPECT_EQ(display.status, "SJISコードへ変換中...");
}

TEST_F(TransferMode, WhenNothingIsConverted) {
    std::string photo = dir / "photo.jpg", readme = dir / "README", notes = dir / "notes.tmp";
    for (const auto& f : {photo, readme, notes}) testsupport::WriteFile(f, "x");
    Options(layout::kFirstRunTextMode, 1, 1, 2);
    EXPECT_EQ(ConvertForUpload(photo), photo);
    EXPECT_EQ(ConvertForUpload(readme), TempCopyFolder() + "README.tmp") << "no extension matches the first entry";
    Options(layout::kFirstRunTextMode, 1, 0, 2);
    EXPECT_EQ(ConvertForUpload(dir / "a.txt"), dir / "a.txt");
    Options(layout::kFirstRunTextMode, 0, 1, 2);
    EXPECT_EQ(ConvertForUpload(dir / "a.txt"), dir / "a.txt");
    Options(layout::kFirstRunTextMode, 1, 1, 3);
    transfertest::RecordingDisplay display;
    EXPECT_EQ(ConvertForUpload(dir / "a.txt"), dir / "a.txt");
    EXPECT_TRUE(display.Events().empty());

    // The user's own notes.tmp, sent as it is, is never deleted.
    Options(".htm;", 0, 0);
    std::string sent = ConvertForUpload(notes);
    RemoveTempCopy(sent);
    EXPECT_EQ(testsupport::ReadFile(notes), "x");
}

}  // namespace
