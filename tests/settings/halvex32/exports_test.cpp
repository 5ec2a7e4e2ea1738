// The settings library's boundary as a program that loads it sees it.
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

TEST(Halvex32, EntryPointsAreExportedUndecoratedAndNothingOfTheCoreLeaks) {
    testsupport::RunResult nm = testsupport::RunProgram({"/usr/bin/nm", "-D", "--defined-only", HALVEX32_LIBRARY});
    ASSERT_EQ(nm.exitCode, 0) << nm.err;
    std::set<std::string> entryPoints;
    std::istringstream lines(nm.out);
    for (std::string line; std::getline(lines, line);) {
        std::string name = line.substr(line.find_last_of(' ') + 1);
        if (name.rfind("PARVEX_", 0) == 0) entryPoints.insert(name);
        // The store, the FTP client and the settings core are linked in, never offered to the host.
        EXPECT_EQ(name.find("winreg"), std::string::npos) << name;
        EXPECT_EQ(name.find("inet"), std::string::npos) << name;
        EXPECT_EQ(name.find("ImportDefinitionFile"), std::string::npos) << name;
    }
    EXPECT_EQ(entryPoints, (std::set<std::string>{"PARVEX_ReadServerDefines", "PARVEX_ShowExtSelect",
                                                  "PARVEX_ShowFtpDir"}));
}
