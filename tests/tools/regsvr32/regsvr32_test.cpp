// regsvr32 as the provider manager and a user run it: module lookup, the
// result line, silence with /s, and the exit status of each failure.
#include "common/registry/setting_key.h"
#include "shellext/com.h"
#include "shellext/server.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using testsupport::RunProgram;

namespace {

bool HandlerRegistered() {
    SettingKey key;
    return key.OpenKey(winreg::HKEY_CLASSES_ROOT,
                       "CLSID\\" + com::GuidText(shellext::CLSID_ParvexMenu) + "\\InprocServer32") == 0;
}

TEST(Regsvr32, RegistersTheModuleFoundBesideItAndUnregistersSilently) {
    testsupport::ScopedStore store;
    auto r = RunProgram({REGSVR32, "parvex.so"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "DllRegisterServer in " + std::string(PARVEX_MODULE) + " succeeded.\n");
    EXPECT_TRUE(HandlerRegistered());

    r = RunProgram({REGSVR32, "/u", "/s", PARVEX_MODULE});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_FALSE(HandlerRegistered());
}

TEST(Regsvr32, FailuresHaveTheirOwnExitStatus) {
    testsupport::ScopedStore store;
    EXPECT_EQ(RunProgram({REGSVR32}).exitCode, 1);
    auto r = RunProgram({REGSVR32, "no-such-module.so"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("cannot load"), std::string::npos) << r.err;
    r = RunProgram({REGSVR32, "/s", "no-such-module.so"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out + r.err, "") << "/s is silent, failures included";
    // A real module without the entry point.
    r = RunProgram({REGSVR32, TESVAR_MODULE});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("DllRegisterServer"), std::string::npos) << r.err;
    EXPECT_FALSE(HandlerRegistered());
}

// A store that cannot be written: a corrupt file, a store path below a file, a folder where the file should be. (File
// modes cannot make it read-only here: the tests may run as root.) Both directions fail loudly.
TEST(Regsvr32, AStoreThatCannotBeWrittenFailsTheRegistration) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "corrupt.db", std::string(8192, '\x5a'));
    testsupport::WriteFile(dir / "a-file", "");
    std::filesystem::create_directory(dir / "a-folder.db");
    for (const std::string& store : {dir / "corrupt.db", dir / "a-file/registry.db", dir / "a-folder.db"}) {
        for (const char* how : {"", "/u"}) {
            std::vector<std::string> argv = {REGSVR32, PARVEX_MODULE};
            if (*how) argv.insert(argv.begin() + 1, how);
            auto r = RunProgram(argv, "", {"PARVEX_REGISTRY=" + store});
            EXPECT_EQ(r.exitCode, 5) << store << " " << how << ": " << r.out << r.err;
            EXPECT_EQ(r.out, "") << store;
            EXPECT_NE(r.err.find("failed with 0x80040201"), std::string::npos) << r.err;
            EXPECT_NE(r.err.find(store), std::string::npos) << "the store names itself: " << r.err;
        }
    }
    EXPECT_EQ(testsupport::ReadFile(dir / "corrupt.db"), std::string(8192, '\x5a')) << "a foreign file is left as it was";
}

}  // namespace
