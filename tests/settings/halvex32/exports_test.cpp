// The settings library's boundary as a program that loads it sees it.
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

TEST(Halvex32, OnlyTheEntryPointsAreExportedUndecorated) {
    testsupport::RunResult nm = testsupport::RunProgram({"/usr/bin/nm", "-D", "--defined-only", HALVEX32_LIBRARY});
    ASSERT_EQ(nm.exitCode, 0) << nm.err;
    // The store, the FTP client, the settings core and wx's inline code are
    // linked in, never offered to the host: a host's own copies must win.
    std::set<std::string> exported;
    std::istringstream lines(nm.out);
    for (std::string line; std::getline(lines, line);) {
        std::string name = line.substr(line.find_last_of(' ') + 1);
        if (name != "_edata" && name != "_end" && name != "__bss_start") exported.insert(name);
    }
    EXPECT_EQ(exported, (std::set<std::string>{"PARVEX_ReadServerDefines", "PARVEX_ShowExtSelect", "PARVEX_ShowWizard",
                                               "PARVEX_ShowFtpDir", "PARVEX_ShowOption", "PARVEX_ShowProvInfo",
                                               "EVT_EXT_SELECT_CLOSED"}));
}
