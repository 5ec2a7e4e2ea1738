// What the transfer program's and the browser's transcripts share: their fixture, the login into "www" below the
// server's writable folder, a small site to upload and the commands both upload walks send for it. One table for both
// programs: they must not drift apart on the wire.
#pragma once

#include "common/registry/layout.h"
#include "tests/support/ftp_server.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace transfertest {

// The server's path of "www" after LoginToWww: pyftpdlib's home is "/",
// vsftpd's is the real path of its writable folder.
inline std::string WwwPath(const testsupport::FtpServer& server) {
    return (server.home() == "/" ? std::string() : server.home()) + "/www";
}

// A transcript test on a fresh server of the parameter's kind and a fresh
// store whose TextMode is ".html;.txt;", with the server's folder "www" made.
class TranscriptTest : public ::testing::TestWithParam<testsupport::FtpServer::Kind> {
protected:
    testsupport::ScopedStore store;
    testsupport::TempDir local;
    testsupport::FtpServer server{GetParam()};
    const std::string www = WwwPath(server);

    void SetUp() override {
        SettingKey options;
        options.CreateKey(winreg::HKEY_CURRENT_USER, layout::kOptionKey);
        options.WriteString(layout::kTextMode, ".html;.txt;");
        std::filesystem::create_directories(server.Local("www"));
    }
    bool Pyftpdlib() const { return GetParam() == testsupport::FtpServer::Kind::Pyftpdlib; }
    // The entry's root "www" as a path relative to where the user logs in.
    std::string Root() const { return Pyftpdlib() ? "www" : "pub/www"; }
};

// The login and the way to the entry's root "www" ("pub/www" on vsftpd, whose anonymous user logs in above its
// writable "pub"), one CWD per component and a PWD to learn where that is.
inline std::string LoginToWww(bool pyftpdlib) {
    return pyftpdlib ? "USER parvex\n"
                       "PASS ******\n"
                       "FEAT\n"
                       "OPTS UTF8 ON\n"
                       "CWD www\n"
                       "PWD\n"
                     : "USER anonymous\n"
                       "FEAT\n"
                       "OPTS UTF8 ON\n"
                       "CWD pub\n"
                       "CWD www\n"
                       "PWD\n";
}

// Makes `dir`/site (index.html, logo.png, css/main.css, css/print/p.txt,
// img/a.png) and `dir`/readme.txt; returns the selection {site, readme.txt}.
inline std::vector<std::string> MakeSite(const std::string& dir) {
    const std::string site = dir + "/site";
    std::filesystem::create_directories(site + "/css/print");
    std::filesystem::create_directories(site + "/img");
    testsupport::WriteFile(site + "/index.html", "<html>\n");
    testsupport::WriteFile(site + "/logo.png", "png");
    testsupport::WriteFile(site + "/css/main.css", "body{}\n");
    testsupport::WriteFile(site + "/css/print/p.txt", "p\n");
    testsupport::WriteFile(site + "/img/a.png", "a");
    testsupport::WriteFile(dir + "/readme.txt", "r\n");
    return {site, dir + "/readme.txt"};
}

// Breadth first: the selection (site, readme.txt), then site's entries in name order (css, img, index.html,
// logo.png), then css's (main.css, print), img's (a.png), print's (p.txt). A folder is entered when its turn comes
// and made where CWD fails; a file goes where it belongs, down by component, and where it must go up by one CWD to
// the absolute path when that saves commands (`www`: the server's path of www). With TextMode ".html;.txt;", .css and
// .png go binary.
inline std::string SiteUpload(const std::string& www) {
    return "CWD site\n"  // site
           "MKD ./site\n"
           "CWD site\n"
           "CWD ../\n"  // readme.txt
           "TYPE A\n"
           "PORT 127,0,0,1,*\n"
           "STOR ./readme.txt\n"
           "CWD site\n"  // css
           "CWD css\n"
           "MKD ./css\n"
           "CWD css\n"
           "CWD ../\n"  // img
           "CWD img\n"
           "MKD ./img\n"
           "CWD img\n"
           "CWD ../\n"
           "PORT 127,0,0,1,*\n"  // index.html
           "STOR ./index.html\n"
           "TYPE I\n"  // logo.png
           "PORT 127,0,0,1,*\n"
           "STOR ./logo.png\n"
           "CWD css\n"  // main.css
           "PORT 127,0,0,1,*\n"
           "STOR ./main.css\n"
           "CWD print\n"  // print
           "MKD ./print\n"
           "CWD print\n"
           "CWD " + www + "/site/img\n"  // a.png
           "PORT 127,0,0,1,*\n"
           "STOR ./a.png\n"
           "CWD " + www + "/site/css/print\n"  // p.txt
           "TYPE A\n"
           "PORT 127,0,0,1,*\n"
           "STOR ./p.txt\n";
}

}  // namespace transfertest
