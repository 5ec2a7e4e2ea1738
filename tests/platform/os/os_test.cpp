#include "platform/os/os.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>
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

TEST(Os, CommandLinesSplitWithQuotes) {
    EXPECT_EQ(os::SplitCommandLine("  /opt/Parvex/brovin  \"a b\" c\"d e\"f "),
              (std::vector<std::string>{"/opt/Parvex/brovin", "a b", "cd ef"}));
    EXPECT_EQ(os::SplitCommandLine("\"\""), std::vector<std::string>{""});
}

// The parent process of `pid` as /proc tells it; 0 when it is gone.
int ParentOf(int pid) {
    std::string stat = testsupport::ReadFile("/proc/" + std::to_string(pid) + "/stat");
    std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return 0;
    return std::atoi(stat.c_str() + close + 4);  // ") S <ppid>"
}

TEST(Os, ProgramsStartDetachedAndAFailedStartIsReported) {
    testsupport::TempDir dir;
    std::string plain = dir / "not-executable";
    testsupport::WriteFile(plain, "#!/bin/sh\n");
    for (const std::string& line : {std::string(), std::string("\"\""), std::string("/no/such/program"), plain,
                                    dir.path(), std::string("no-such-program-on-the-path")})
        EXPECT_EQ(os::StartProgram(line), -1) << line;

    // Long-lived: the program runs on, and it is not our child.
    int sleeper = os::StartProgram("sleep 30");
    ASSERT_GT(sleeper, 0);
    EXPECT_NE(ParentOf(sleeper), 0) << "not running";
    EXPECT_NE(ParentOf(sleeper), ::getpid());
    ::kill(sleeper, SIGKILL);

    // Short-lived: it ran, and nothing is left for us to reap.
    std::string mark = dir / "ran";
    ASSERT_GT(os::StartProgram("/bin/sh -c \"echo yes > '" + mark + "'\""), 0);
    testsupport::WaitUntil([&] { return !testsupport::ReadFile(mark).empty(); }, 2000);
    EXPECT_EQ(testsupport::ReadFile(mark), "yes\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "a child (or zombie) was left behind";
    EXPECT_EQ(errno, ECHILD);
}

TEST(Os, RunAndWaitReturnsTheExitStatusOrMinusOne) {
    testsupport::TempDir dir;
    std::string plain = dir / "not-executable";
    testsupport::WriteFile(plain, "#!/bin/sh\n");
    const struct {
        std::string line;
        int status;
    } rows[] = {
        {"", -1}, {"/no/such/program", -1}, {plain, -1}, {dir.path(), -1},
        {"/bin/sh -c \"exit 0\"", 0}, {"/bin/sh -c \"exit 5\"", 5}, {"/bin/sh -c \"kill -9 $$\"", 128 + 9},
    };
    for (const auto& r : rows) EXPECT_EQ(os::RunAndWait(r.line), r.status) << r.line;
    // It has waited: the file is there when it returns, and no child is left.
    std::string mark = dir / "ran";
    EXPECT_EQ(os::RunAndWait("/bin/sh -c \"sleep 0.2; echo yes > '" + mark + "'\""), 0);
    EXPECT_EQ(testsupport::ReadFile(mark), "yes\n");
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

}  // namespace
