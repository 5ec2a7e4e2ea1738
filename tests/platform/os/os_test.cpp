#include "platform/os/os.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

TEST(Os, PathsSplitAtTheLastSlashAndTheNamesLastPeriod) {
    struct Case {
        const char* path;
        const char* folder;
        const char* base;
        const char* ext;
    } cases[] = {
        {"/home/u/site/index.HTML", "/home/u/site/", "index", ".HTML"},
        {"/home/u/release.old/README", "/home/u/release.old/", "README", ""},
        {"/home/u/archive.tar.gz", "/home/u/", "archive.tar", ".gz"},
        {"/home/u/.profile", "/home/u/", "", ".profile"},
        {"/vmlinuz", "/", "vmlinuz", ""},
        {"plain.txt", "", "plain", ".txt"},
    };
    for (const auto& c : cases) {
        os::PathParts p = os::SplitPath(c.path);
        EXPECT_EQ(p.folder, c.folder) << c.path;
        EXPECT_EQ(p.base, c.base) << c.path;
        EXPECT_EQ(p.extension, c.ext) << c.path;
    }
}

TEST(Os, CommandLinesSplitWithQuotesAndProgramsStart) {
    EXPECT_EQ(os::SplitCommandLine("  /opt/Parvex/brovin  \"a b\" c\"d e\"f "),
              (std::vector<std::string>{"/opt/Parvex/brovin", "a b", "cd ef"}));
    EXPECT_EQ(os::SplitCommandLine("\"\""), std::vector<std::string>{""});
    EXPECT_EQ(os::StartProgram(""), -1);
    EXPECT_EQ(os::StartProgram("/no/such/program"), -1);

    testsupport::TempDir dir;
    std::string mark = dir / "started";
    int pid = os::StartProgram("/bin/sh -c \"echo yes > '" + mark + "'\"");
    ASSERT_GT(pid, 0);
    EXPECT_EQ(testsupport::Wait(pid), 0);
    EXPECT_EQ(testsupport::ReadFile(mark), "yes\n");

    EXPECT_TRUE(os::IsDirectory(dir.path()));
    EXPECT_FALSE(os::IsDirectory(mark));
    EXPECT_TRUE(os::Exists(mark));
    setenv("TMPDIR", "/var/tmp", 1);
    EXPECT_EQ(os::TempDirectory(), "/var/tmp/");
    unsetenv("TMPDIR");
    EXPECT_EQ(os::TempDirectory(), "/tmp/");
}

}  // namespace
