// Server paths and the names that may stand for one entry: pure functions, from tables.
#include "common/walk/remote_path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using walk::RemotePath;

namespace {

using namespace std::string_literals;

TEST(RemotePath, ParsedPathsKeepTheirComponentsAndGiveTheirTextBack) {
    const struct {
        std::string text;
        bool absolute;
        std::vector<std::string> parts;
        std::string shown;   // Text()
        std::string parent;  // Parent().Text()
        bool sendable;
    } cases[] = {
        {"/", true, {}, "/", "/", true},
        {"", false, {}, "", "", true},
        {"a/b/", false, {"a", "b"}, "a/b", "a", true},
        {"//home//www/", true, {"home", "www"}, "/home/www", "/home", true},
        {"..", false, {".."}, "..", "", false},
        {"a/./b", false, {"a", ".", "b"}, "a/./b", "a/.", false},
        {"/my docs/new file.txt", true, {"my docs", "new file.txt"}, "/my docs/new file.txt", "/my docs", true},
        {"ホームページ/画像", false, {"ホームページ", "画像"}, "ホームページ/画像", "ホームページ", true},
        {"a\r\nDELE x/b", false, {"a\r\nDELE x", "b"}, "a\r\nDELE x/b", "a\r\nDELE x", false},
        {"a\0b"s, false, {"a\0b"s}, "a\0b"s, "", false},
        {"..x/-n", false, {"..x", "-n"}, "..x/-n", "..x", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const RemotePath p = RemotePath::Parse(c.text);
        EXPECT_EQ(p.Absolute(), c.absolute);
        EXPECT_EQ(p.Parts(), c.parts);
        EXPECT_EQ(p.Empty(), c.parts.empty());
        EXPECT_EQ(p.Text(), c.shown);
        EXPECT_EQ(p.Parent().Text(), c.parent);
        EXPECT_EQ(p.Name(), c.parts.empty() ? "" : c.parts.back());
        EXPECT_EQ(p.Sendable(), c.sendable);
        EXPECT_EQ(RemotePath::Parse(p.Text()), p) << "the text reads back as the same path";
    }
}

TEST(RemotePath, ChildrenAndJoinsAddComponentsAsTheyStand) {
    const RemotePath base = RemotePath::Parse("/home/user");
    EXPECT_EQ(base.Child("www").Text(), "/home/user/www");
    EXPECT_EQ(base.Child("a/b").Parts().back(), "a/b") << "one component, whatever it holds";
    EXPECT_EQ(base.Join(RemotePath::Parse("/x/y")).Text(), "/home/user/x/y");
    EXPECT_EQ(RemotePath().Join(RemotePath::Parse("x")).Text(), "x");
    EXPECT_EQ(RemotePath().Child("").Text(), "") << "an empty name shows as nothing";
    EXPECT_FALSE(RemotePath().Child("..").Sendable());
}

TEST(RemotePath, OnlySafeNamesStandForOneEntryBelowUs) {
    for (const std::string& bad : {""s, "."s, ".."s, "../x"s, "a/b"s, "a\\b"s, "a\rb"s, "a\nb"s, "a\0b"s, std::string(256, 'a')})
        EXPECT_FALSE(walk::SafeName(bad)) << bad;
    for (const std::string& good : {"Makefile"s, "v1.2"s, "..x"s, "日本語.txt"s, "a b"s, std::string(255, 'a')})
        EXPECT_TRUE(walk::SafeName(good)) << good;
}

}  // namespace
