// The reg tool run as a user runs it, against a store of its own.
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using testsupport::ReadFile;
using testsupport::RunResult;
using testsupport::WriteFile;

namespace {

class RegTool : public ::testing::Test {
protected:
    testsupport::ScopedStore store;

    RunResult Reg(std::vector<std::string> args, const std::string& input = "") {
        args.insert(args.begin(), REG_TOOL);
        return testsupport::RunProgram(args, input);
    }
    void Ok(std::vector<std::string> args) {
        RunResult r = Reg(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    void SetUpProvider() {
        const std::string e = "HKCU\\Software\\PARVEX\\PROVIDER\\ホーム\\/pub/www";
        Ok({"add", e, "/v", "ServerAddr", "/d", "ftp.example.jp", "/f"});
        Ok({"add", e, "/v", "Port", "/t", "REG_DWORD", "/d", "21", "/f"});
        Ok({"add", e, "/v", "MenuName", "/d", "ホームページ \"公開\" C:\\old", "/f"});
        Ok({"add", "HKCU\\Software\\PARVEX\\PROVIDER\\ホーム\\拡張子別転送", "/v", "Root", "/d", "/", "/f"});
        Ok({"add", "HKCU\\Software\\PARVEX\\Option", "/v", "CodeConvert", "/t", "REG_DWORD", "/d", "0x1e", "/f"});
        Ok({"add", "HKCU\\Software\\PARVEX\\Option", "/ve", "/d", "default text", "/f"});
    }
};

TEST_F(RegTool, AddAndQueryLikeTheWindowsTool) {
    SetUpProvider();
    RunResult r = Reg({"query", "hkey_current_user\\software\\parvex\\option"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "\nHKEY_CURRENT_USER\\software\\parvex\\option\n"
              "    CodeConvert    REG_DWORD    0x1e\n"
              "    (Default)    REG_SZ    default text\n\n");

    r = Reg({"query", "HKCU\\Software\\PARVEX\\PROVIDER\\ホーム\\/pub/www", "/v", "port"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("    port    REG_DWORD    0x15\n"), std::string::npos) << r.out;

    r = Reg({"query", "HKCU\\Software\\PARVEX", "/s"});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("HKEY_CURRENT_USER\\Software\\PARVEX\\PROVIDER\\ホーム\\拡張子別転送\n    Root    REG_SZ    /\n"),
              std::string::npos)
        << r.out;

    r = Reg({"query", "HKCU\\Software\\PARVEX\\Nothing"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "ERROR: The system was unable to find the specified registry key or value.\n");
}

TEST_F(RegTool, RefusesBadInputAndChangesNothing) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"add", "HKLM\\Software\\X", "/f"}, "Invalid key name"},
        {{"add", "HKCU\\X", "/v", "n", "/t", "REG_DWORD", "/d", "4294967296", "/f"}, "Invalid value for REG_DWORD"},
        {{"add", "HKCU\\X", "/v", "n", "/t", "REG_DWORD", "/d", "-1", "/f"}, "Invalid value for REG_DWORD"},
        {{"add", "HKCU\\X", "/v", "n", "/t", "REG_DWORD", "/d", "12abc", "/f"}, "Invalid value for REG_DWORD"},
        {{"add", "HKCU\\X", "/v", "n", "/t", "REG_BINARY", "/d", "00", "/f"}, "Unsupported value type"},
        {{"add", "HKCU\\X", "/v", "n", "/ve", "/f"}, "Invalid syntax"},
        {{"frobnicate"}, "Invalid syntax"},
        {{"delete", "HKCU", "/f"}, "root key cannot be deleted"},
    };
    for (const auto& c : cases) {
        RunResult r = Reg(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args[0] << " " << c.args[1];
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
    }
    EXPECT_EQ(Reg({"query", "HKCU\\X"}).exitCode, 1) << "no key was created by a refused add";
}

TEST_F(RegTool, AsksBeforeOverwritingOrDeletingUnlessForced) {
    Ok({"add", "HKCU\\Software\\PARVEX\\Option", "/v", "TextMode", "/d", ".htm;", "/f"});
    RunResult r = Reg({"add", "HKCU\\Software\\PARVEX\\Option", "/v", "TextMode", "/d", ".txt;"}, "no\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Value TextMode exists, overwrite (Yes/No)?"), std::string::npos);
    r = Reg({"delete", "HKCU\\Software\\PARVEX"});  // no answer at all
    EXPECT_EQ(r.exitCode, 1);
    r = Reg({"query", "HKCU\\Software\\PARVEX\\Option", "/v", "TextMode"});
    EXPECT_NE(r.out.find(".htm;"), std::string::npos);

    r = Reg({"delete", "HKCU\\Software\\PARVEX"}, "yes\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Reg({"query", "HKCU\\Software\\PARVEX"}).exitCode, 1);
}

TEST_F(RegTool, ExportDeleteImportGivesBackTheSameTree) {
    SetUpProvider();
    std::string first = store.dir() / "first.reg", second = store.dir() / "second.reg";
    Ok({"export", "hkcu\\software\\parvex", first});
    std::string text = ReadFile(first);
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\PARVEX]\n", 0), 0u)
        << text;
    EXPECT_NE(text.find("\"Port\"=dword:00000015\n"), std::string::npos);
    EXPECT_NE(text.find("\"MenuName\"=\"ホームページ \\\"公開\\\" C:\\\\old\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("@=\"default text\"\n"), std::string::npos);

    Ok({"delete", "HKCU\\Software\\PARVEX", "/f"});
    EXPECT_EQ(Reg({"query", "HKCU\\Software\\PARVEX"}).exitCode, 1);
    Ok({"import", first});
    Ok({"export", "HKCU\\Software\\PARVEX", second, "/y"});
    EXPECT_EQ(ReadFile(second), text);
}

TEST_F(RegTool, ImportAppliesAllOfAFileOrNoneOfIt) {
    Ok({"add", "HKCU\\Software\\PARVEX\\Option", "/v", "TextMode", "/d", ".htm;", "/f"});
    std::string file = store.dir() / "bad.reg";
    WriteFile(file,
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\PARVEX\\Option]\r\n"
              "\"TextMode\"=\".txt;\"\r\n"
              "[HKEY_CURRENT_USER\\Software\\PARVEX\\New]\r\n"
              "\"Port\"=dword:100000000\r\n");
    RunResult r = Reg({"import", file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("bad.reg:6: dword value out of range"), std::string::npos) << r.err;
    r = Reg({"query", "HKCU\\Software\\PARVEX\\Option", "/v", "TextMode"});
    EXPECT_NE(r.out.find(".htm;"), std::string::npos) << "the earlier lines were not applied";
    EXPECT_EQ(Reg({"query", "HKCU\\Software\\PARVEX\\New"}).exitCode, 1);

    // A file that parses but names a root the store cannot take is refused as a whole too.
    WriteFile(file,
              "Windows Registry Editor Version 5.00\n"
              "[HKEY_CURRENT_USER\\Software\\PARVEX\\Option]\n\"TextMode\"=\".cgi;\"\n"
              "[-HKEY_CURRENT_USER]\n");
    r = Reg({"import", file});
    EXPECT_EQ(r.exitCode, 1);
    r = Reg({"query", "HKCU\\Software\\PARVEX\\Option", "/v", "TextMode"});
    EXPECT_NE(r.out.find(".htm;"), std::string::npos) << r.out;

    EXPECT_EQ(Reg({"import", store.dir() / "missing.reg"}).exitCode, 1);
}

}  // namespace
