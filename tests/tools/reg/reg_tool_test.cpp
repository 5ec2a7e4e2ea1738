// The reg tool run as a user runs it, against a store of its own.
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

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
    // Runs a command that must succeed; returns what it printed on standard output.
    std::string Ok(std::vector<std::string> args) {
        RunResult r = Reg(args);
        EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
        return r.out;
    }
    // Runs a command that must fail; returns what it printed on standard error.
    std::string Fails(std::vector<std::string> args) {
        RunResult r = Reg(args);
        EXPECT_EQ(r.exitCode, 1) << args[0] << ": " << r.out;
        return r.err;
    }
    std::string TextMode() { return Reg({"query", "HKCU\\Software\\PARVEX\\Option", "/v", "TextMode"}).out; }
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
    EXPECT_EQ(Ok({"query", "hkey_current_user\\software\\parvex\\option"}),
              "\nHKEY_CURRENT_USER\\software\\parvex\\option\n"
              "    CodeConvert    REG_DWORD    0x1e\n"
              "    (Default)    REG_SZ    default text\n\n");

    std::string out = Ok({"query", "HKCU\\Software\\PARVEX\\PROVIDER\\ホーム\\/pub/www", "/v", "port"});
    EXPECT_NE(out.find("    port    REG_DWORD    0x15\n"), std::string::npos) << out;

    out = Ok({"query", "HKCU\\Software\\PARVEX", "/s"});
    EXPECT_NE(out.find("HKEY_CURRENT_USER\\Software\\PARVEX\\PROVIDER\\ホーム\\拡張子別転送\n    Root    REG_SZ    /\n"),
              std::string::npos)
        << out;

    EXPECT_EQ(Fails({"query", "HKCU\\Software\\PARVEX\\Nothing"}),
              "ERROR: The system was unable to find the specified registry key or value.\n");
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
        {{"add", "HKCU\\X\\" + std::string(300, 'k'), "/f"},
         "Invalid key name: the key name \"kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk...\" is too long (300 bytes; a key name "
         "may have at most 255 bytes in UTF-8)."},
        {{"query", "HKCU\\" + std::string(256, 'k')}, "is too long (256 bytes"},
    };
    for (const auto& c : cases) {
        std::string err = Fails(c.args);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << "one line: " << err;
    }
    Fails({"query", "HKCU\\X"});  // no key was created by a refused add
}

TEST_F(RegTool, AsksBeforeOverwritingOrDeletingUnlessForced) {
    Ok({"add", "HKCU\\Software\\PARVEX\\Option", "/v", "TextMode", "/d", ".htm;", "/f"});
    RunResult r = Reg({"add", "HKCU\\Software\\PARVEX\\Option", "/v", "TextMode", "/d", ".txt;"}, "no\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Value TextMode exists, overwrite (Yes/No)?"), std::string::npos);
    Fails({"delete", "HKCU\\Software\\PARVEX"});  // no answer at all
    EXPECT_NE(TextMode().find(".htm;"), std::string::npos);

    EXPECT_EQ(Reg({"delete", "HKCU\\Software\\PARVEX"}, "yes\n").exitCode, 0);
    Fails({"query", "HKCU\\Software\\PARVEX"});
}

TEST_F(RegTool, ExportDeleteAndImportAsWindowsSavesItGivesBackTheSameTree) {
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
    Fails({"query", "HKCU\\Software\\PARVEX"});
    // Brought back as the Windows registry editor saves it: UTF-16LE with a byte-order mark. (CP932 REGEDIT4 files
    // and refused value types: the RegFile tests.)
    const std::string windows = store.dir() / "windows.reg";
    WriteFile(windows, "\xFF\xFE" + testsupport::Encode("UTF-16LE", text));
    Ok({"import", windows});
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
    std::string err = Fails({"import", file});
    EXPECT_NE(err.find("bad.reg:6: dword value out of range"), std::string::npos) << err;
    EXPECT_NE(err.find("nothing was imported"), std::string::npos) << err;
    EXPECT_NE(TextMode().find(".htm;"), std::string::npos) << "the earlier lines were not applied";
    Fails({"query", "HKCU\\Software\\PARVEX\\New"});

    // A file that parses but names a root the store cannot take is refused as a whole too.
    WriteFile(file,
              "Windows Registry Editor Version 5.00\n"
              "[HKEY_CURRENT_USER\\Software\\PARVEX\\Option]\n\"TextMode\"=\".cgi;\"\n"
              "[-HKEY_CURRENT_USER]\n");
    Fails({"import", file});
    EXPECT_NE(TextMode().find(".htm;"), std::string::npos) << TextMode();
    Fails({"import", store.dir() / "missing.reg"});
}

TEST_F(RegTool, ExportWritesTheFileTheUserNamed) {
    SetUpProvider();
    const std::string key = "HKCU\\Software\\PARVEX\\Option";
    Ok({"add", key, "/v", "Long", "/d", std::string(100000, 'x'), "/f"});  // past the size limit below
    std::string fresh = store.dir() / "fresh.reg", target = store.dir() / "target.reg", link = store.dir() / "link.reg";
    Ok({"export", key, fresh});
    struct stat st {};
    stat(fresh.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "exports hold passwords";
    const std::string good = ReadFile(fresh);

    WriteFile(target, "old");
    symlink("target.reg", link.c_str());
    Ok({"export", key, link, "/y"});
    lstat(link.c_str(), &st);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays";
    EXPECT_EQ(ReadFile(target), good);

    Ok({"export", key, "/dev/null"});
    stat("/dev/null", &st);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "a device is written, never replaced";
    EXPECT_EQ(Fails({"export", key, "/dev/full", "/y"}), "ERROR: Cannot write /dev/full: No space left on device.\n");
    EXPECT_NE(Fails({"export", key, store.dir().path(), "/y"}).find("not a regular file but a folder"),
              std::string::npos);

    // A write that fails partway (here at the file size limit) keeps the good file.
    RunResult r = testsupport::RunProgram(
        {"/bin/sh", "-c", "ulimit -f 150; trap '' XFSZ; exec \"$0\" export \"$1\" \"$2\" /y", REG_TOOL, key, link}, "",
        {"PARVEX_REGISTRY=" + store.file()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "ERROR: Cannot write " + link + ": File too large.\n");
    EXPECT_EQ(ReadFile(target), good);
    EXPECT_EQ(Reg({"import", target}).exitCode, 0);
    r = testsupport::RunProgram({"/bin/sh", "-c", "ls -A \"$0\" | grep -c reg-export", store.dir().path()});
    EXPECT_EQ(r.out, "0\n") << "no temporary is left";
}

TEST_F(RegTool, QueryAndExportNeverWriteTheStore) {
    SetUpProvider();
    const std::string key = "HKCU\\Software\\PARVEX";
    auto snapshot = [&] {
        struct stat st {};
        stat(store.file().c_str(), &st);
        return ReadFile(store.file()) + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    };
    const std::string before = snapshot();
    Ok({"query", key, "/s"});
    Ok({"export", key, store.dir() / "a.reg"});
    EXPECT_EQ(snapshot(), before);

    // A store on a read-only file system: root ignores file modes, so a
    // private mount namespace makes the store's folder read-only.
    auto readOnly = [&](const std::string& command, const std::vector<std::string>& args) {
        std::vector<std::string> argv = {"/usr/bin/unshare", "-m", "/bin/sh", "-c",
                                         "mount --bind \"$0\" \"$0\" && mount -o remount,bind,ro \"$0\" && " + command,
                                         store.dir().path()};
        argv.insert(argv.end(), args.begin(), args.end());
        return testsupport::RunProgram(argv, "", {"PARVEX_REGISTRY=" + store.file()});
    };
    RunResult probe = readOnly("! touch \"$0/x\"", {});
    if (probe.exitCode != 0) GTEST_SKIP() << "no private read-only mount can be made here: " << probe.err;
    unlink((store.file() + "-wal").c_str());  // as after the last writer closed; none is running
    unlink((store.file() + "-shm").c_str());
    RunResult r = readOnly("exec \"$1\" query \"$2\" /s", {REG_TOOL, key + "\\PROVIDER"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("    ServerAddr    REG_SZ    ftp.example.jp\n"), std::string::npos) << r.out;
    r = readOnly("exec \"$1\" export \"$2\" /dev/stdout", {REG_TOOL, key});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"ServerAddr\"=\"ftp.example.jp\"\n"), std::string::npos) << r.out;
    r = readOnly("exec \"$1\" add \"$2\" /v x /d y /f", {REG_TOOL, key});
    EXPECT_EQ(r.exitCode, 1) << "a write does fail there";
    EXPECT_EQ(snapshot(), before);
}

}  // namespace
