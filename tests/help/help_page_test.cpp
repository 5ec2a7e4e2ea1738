#include "common/ui/help.h"
#include "platform/inet/inet.h"
#include "platform/os/os.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The values of `attribute` in every <tag ...> of the page, in order.
std::vector<std::string> Attributes(const std::string& html, const std::string& tag, const std::string& attribute) {
    std::vector<std::string> values;
    const std::regex element("<" + tag + "\\b[^>]*>", std::regex::icase);
    const std::regex value("\\b" + attribute + "\\s*=\\s*\"([^\"]*)\"", std::regex::icase);
    for (auto it = std::sregex_iterator(html.begin(), html.end(), element); it != std::sregex_iterator(); ++it) {
        std::smatch m;
        const std::string text = it->str();
        if (std::regex_search(text, m, value)) values.push_back(m[1]);
    }
    return values;
}

// Every picture, style sheet and local link of the page at `page` leads to a
// file that is there, and every "#name" link to an id of the page.
void ExpectReferencesResolve(const std::string& page) {
    const std::string html = testsupport::ReadFile(page);
    ASSERT_FALSE(html.empty()) << page;
    const fs::path folder = fs::path(page).parent_path();

    std::set<std::string> ids;
    for (const std::string& id : Attributes(html, "[a-z0-9]+", "id")) ids.insert(id);

    std::vector<std::string> files = Attributes(html, "img", "src");
    EXPECT_GE(files.size(), 10u) << "the page shows the screenshots";
    for (const std::string& css : Attributes(html, "link", "href")) files.push_back(css);
    for (const std::string& href : Attributes(html, "a", "href")) {
        if (href.rfind("http://", 0) == 0 || href.rfind("https://", 0) == 0 || href.rfind("mailto:", 0) == 0) continue;
        if (!href.empty() && href[0] == '#') {
            EXPECT_TRUE(ids.count(href.substr(1))) << "no id for link " << href;
            continue;
        }
        files.push_back(href.substr(0, href.find('#')));
    }
    for (const std::string& file : files) {
        EXPECT_FALSE(file.empty() || file[0] == '/' || file.find("..") != std::string::npos)
            << "a reference must stay inside the help folder: " << file;
        EXPECT_TRUE(fs::is_regular_file(folder / file)) << file << " referenced by " << page << " is missing";
    }
}

TEST(HelpPage, BuildTreeCopyBesideTheProgramsIsWhatHelpPathFinds) {
    const std::string page = ui::HelpPath();
    EXPECT_EQ(page, os::ExecutableDirectory() + "/help/index.html");
    ASSERT_TRUE(fs::is_regular_file(page)) << page;
    const std::string html = testsupport::ReadFile(page);
    EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(html.find("</html>"), std::string::npos) << "the copy is whole";
    ExpectReferencesResolve(page);
}

// The page explains the texts the programs really show: a message changed in
// the code without the page following is caught here.
TEST(HelpPage, ExplainsEveryServerErrorText) {
    const std::string html = testsupport::ReadFile(ui::HelpPath());
    for (inet::DWORD code : {inet::ERROR_FILE_NOT_FOUND, inet::ERROR_NO_MORE_FILES, inet::ERROR_FILE_EXISTS,
                             inet::ERROR_INVALID_PARAMETER, inet::ERROR_INVALID_NAME, inet::ERROR_INTERNET_TIMEOUT,
                             inet::ERROR_INTERNET_EXTENDED_ERROR, inet::ERROR_INTERNET_INTERNAL_ERROR,
                             inet::ERROR_INTERNET_NAME_NOT_RESOLVED, inet::ERROR_INTERNET_LOGIN_FAILURE,
                             inet::ERROR_INTERNET_OPERATION_CANCELLED, inet::ERROR_INTERNET_CANNOT_CONNECT,
                             inet::ERROR_INTERNET_CONNECTION_ABORTED, inet::ERROR_INTERNET_CONNECTION_RESET,
                             inet::ERROR_INTERNET_INVALID_CA, inet::ERROR_INTERNET_SECURITY_CHANNEL_ERROR,
                             inet::ERROR_FTP_TRANSFER_IN_PROGRESS, inet::ERROR_FTP_LISTING_UNREADABLE,
                             inet::ERROR_NO_UNICODE_TRANSLATION}) {
        const std::string text = inet::InternetErrorText(code);
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_NE(html.find(text), std::string::npos) << "the page does not explain " << code << ": " << text;
    }
}

// Installed, a program in the suite's private folder (where the manager and
// the browser live) finds the page below <prefix>/share with every picture.
TEST(HelpPage, InstalledPageIsFoundFromTheProgramsFolder) {
    testsupport::TempDir prefix;
    const auto install = testsupport::RunProgram(
        {PARVEX_CMAKE_COMMAND, "--install", PARVEX_BINARY_DIR, "--prefix", prefix.path(), "--component", "help"});
    ASSERT_EQ(install.exitCode, 0) << install.out << install.err;

    fs::create_directories(prefix / "lib/parvex");
    const std::string probe = prefix / "lib/parvex/help_path_probe";
    fs::copy_file(os::ExecutableDirectory() + "/help_path_probe", probe);
    // The suite's own libraries stay where the build put them: the question is
    // where the page is found, not where the libraries are.
    const auto run = testsupport::RunProgram({probe}, "", {"LD_LIBRARY_PATH=" + os::ExecutableDirectory()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string page = run.out.substr(0, run.out.find('\n'));
    EXPECT_EQ(fs::weakly_canonical(page), fs::weakly_canonical(prefix / "share/parvex/help/index.html"));
    ASSERT_TRUE(fs::is_regular_file(page)) << page;
    ExpectReferencesResolve(page);
}

}  // namespace
