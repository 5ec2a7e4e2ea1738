// Reply and listing parsing from tables of lines real servers send.
#include "platform/inet/ftp_parse.h"

#include <gtest/gtest.h>

using namespace inet;

namespace {

TEST(FtpReplies, AssembleSingleAndMultiLineReplies) {
    struct Case {
        std::vector<std::string> lines;
        int code;
        std::string text;
    } cases[] = {
        {{"200 Type set to I."}, 200, "200 Type set to I."},
        {{"220-Welcome", "  to the server", "220-still", "220 ready"}, 220, "220-Welcome\r\n  to the server\r\n220-still\r\n220 ready"},
        {{"211-Features:", " MLST type*;size*;modify*;", " UTF8", "211 End"}, 211,
         "211-Features:\r\n MLST type*;size*;modify*;\r\n UTF8\r\n211 End"},
        {{"230-", "230 "}, 230, "230-\r\n230 "},
        {{"150-one", "226 not the end", "150 end"}, 150, "150-one\r\n226 not the end\r\n150 end"},
        {{"421"}, 421, "421"},
    };
    for (const auto& c : cases) {
        ReplyAssembler a;
        ReplyAssembler::Status st = ReplyAssembler::Status::NeedMore;
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            st = a.Feed(c.lines[i]);
            if (i + 1 < c.lines.size()) {
                ASSERT_EQ(st, ReplyAssembler::Status::NeedMore) << c.lines[i];
            }
        }
        ASSERT_EQ(st, ReplyAssembler::Status::Done);
        Reply r = a.Take();
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.text, c.text);
    }
    ReplyAssembler a;
    for (const char* junk : {"hello", "20 short", "999 big", "", "2000 five digits"})
        EXPECT_EQ(a.Feed(junk), ReplyAssembler::Status::Malformed) << junk;
}

TEST(FtpReplies, TelnetBytesAreDroppedAndLongRepliesBounded) {
    EXPECT_EQ(StripTelnet("\xff\xfb\x01" "220 ok\xff\xff!"), "220 ok\xff!");
    EXPECT_EQ(StripTelnet("abc\xff"), "abc");
    ReplyAssembler a;
    a.Feed("220-" + std::string(100000, 'x'));
    for (int i = 0; i < 10000; ++i) a.Feed(std::string(1000, 'y'));
    a.Feed("220 done");
    Reply r = a.Take();
    EXPECT_LE(r.text.size(), kMaxLineBytes * (kMaxReplyLines + 1));
}

TEST(FtpReplies, PassiveAddressesAndCurrentDirectory) {
    std::array<std::uint8_t, 4> ip{};
    std::uint16_t port = 0;
    ASSERT_TRUE(ParsePasv("227 Entering Passive Mode (192,168,1,2,195,80).", ip, port));
    EXPECT_EQ(ip, (std::array<std::uint8_t, 4>{192, 168, 1, 2}));
    EXPECT_EQ(port, 195 * 256 + 80);
    ASSERT_TRUE(ParsePasv("227 =127,0,0,1,4,1", ip, port));
    EXPECT_EQ(port, 1025);
    EXPECT_FALSE(ParsePasv("227 Entering Passive Mode (300,1,1,1,1,1)", ip, port));
    EXPECT_FALSE(ParsePasv("227 Entering Passive Mode (1,2,3,4,5)", ip, port));

    ASSERT_TRUE(ParseEpsv("229 Entering Extended Passive Mode (|||6446|)", port));
    EXPECT_EQ(port, 6446);
    EXPECT_FALSE(ParseEpsv("229 Entering Extended Passive Mode (|||99999|)", port));

    std::string path;
    ASSERT_TRUE(ParsePwd("257 \"/pub/a \"\"quoted\"\" dir\" is the current directory", path));
    EXPECT_EQ(path, "/pub/a \"quoted\" dir");
    ASSERT_TRUE(ParsePwd("257 \"/\"", path));
    EXPECT_EQ(path, "/");
    EXPECT_FALSE(ParsePwd("257 \"/unterminated", path));
}

// MDTM replies as servers send them, and the times MFMT is given: a time
// misread by a second would make an upload skip a file that changed.
TEST(FtpReplies, ModificationTimesOfMdtmAndMfmt) {
    const std::pair<const char*, std::int64_t> replies[] = {  // -1: not read
        {"213 20261207221500", 1796681700},     {"213 20261207221500.123", 1796681700},
        {"213 20240229235959\r\n", 1709251199}, {"213 19700101000000", 0},
        {"550 Could not get file modification time.", -1},
        {"213 2026120722150", -1},  {"213 20261307221500", -1},  // a digit short, month 13
        {"213 20261207246000", -1}, {"213 20261207221500x", -1}, {"213 ", -1}};
    for (const auto& [reply, time] : replies) {
        std::int64_t t = -1;
        EXPECT_EQ(ParseMdtmReply(reply, t), time >= 0) << reply;
        EXPECT_EQ(t, time) << reply;
    }
    const std::pair<std::int64_t, const char*> times[] = {{0, "19700101000000"},           {951782400, "20000229000000"},
                                                          {4102444799, "20991231235959"},  {253402300799, "99991231235959"},
                                                          {-1, ""},                        {253402300800, ""}};
    for (const auto& [time, text] : times) {
        EXPECT_EQ(FormatFtpTime(time), text) << time;
        std::int64_t back = -1;
        EXPECT_EQ(ParseFtpTime(text, back), *text != '\0') << text;
        EXPECT_EQ(back, *text ? time : -1) << text;
    }
}

// Lines that are no entry (the entries servers send are read in the listing tables). The wider date forms must not
// make nonsense readable: a wrong line read as an entry would put a made-up name in front of the user.
TEST(FtpListings, BrokenLinesAndDatesOutOfRangeAreRefused) {
    for (const char* junk : {
             "total 12", "", "garbage", "-rw-r--r-- 1 u g 5 Foo 1 12:00 x", "-rw-r--r-- 1 u g 5 Jan 32 12:00 x",
             "drwxr-xr-x 2 u g 4096 Jan 1 12:00", "13-01-20  01:00PM 1 x", "01-01-20  01:00XM  1 x",
             "zrw-r--r-- 1 u g 5 Jan 1 12:00 x", "-rw-r--r-- 1 u g 5 Jan 23 24:01 x", "-rw-r--r-- 1 u g 5 Jan 23 25:00 x",
             "-rw-r--r-- 1 u g 5 Jan 23 2:5 x", "-rw-r--r-- 1 u g 5 2019-13-05 13:45 x", "-rw-r--r-- 1 u g 5 2019-01-32  x",
             "-rw-r--r-- 1 u g 5 13-07 02:05 x", "-rw-r--r-- 1 u g 5 12-07  x", "-rw-r--r-- 1 u g 5 13月  7 11:25 x",
             "-rw-r--r-- 1 u g 5 12月 32 11:25 x", "-rw-r--r-- 1 u g 5 12月  7 x", "-rw-r--r-- 1 u g 5 2019年 1月 5 x",
             "-rw-r--r-- 1 u g 5 5. Foo 2019  x", "-rw-r--r-- 1 u g 5 32. Jan 2019  x",
             "-rw-r--r-- 1 u g 5 2019-01-05 13:45", "2019-01-05  13:45          1,23 x", "2019-01-05  13:45          1,2345 x",
             "01/05/2019  01:45 XM  1 x", "01/05/2019  13:45 PM  1 x", "2019-13-05  13:45  1 x", "2019-01-05  13:45  <DIR>",
             "31.13.2019  13:45  1 x"}) {
        ListEntry e;
        EXPECT_FALSE(ParseListLine(junk, 1796648400 /* 2026-12-07 13:00 UTC */, e)) << junk;
    }
    for (const char* junk : {"type=cdir;modify=20200101000000; /pub", "type=pdir; ..", "size=3;nospace", "size=3; no type",
                             "type=file;size=3;\t", "type=file;size=3;"}) {
        ListEntry e;
        EXPECT_FALSE(ParseMlsdLine(junk, e)) << junk;
    }
}

// What decides between an empty folder and a listing we could not read.
TEST(FtpListings, LinesWithoutEntriesByDesignAreFiller) {
    for (const char* filler : {"", "\r", "  \t", "total 0", "total 1232\r", "合計 1232", "insgesamt 1232", "总计 8",
                               "합계 8", "total 1.2M", "type=cdir;modify=20200101000000; /pub\r", "Type=PDir; ..",
                               "modify=20261207125922;perm=flcdmpe;type=cdir;unique=FE00UA72040; ."})
        EXPECT_TRUE(IsListingFiller(filler)) << filler;
    for (const char* entry : {"garbage", "Directory of /home/ftp", "file.txt   12 bytes   2020/01/01", "total 12 files",
                              "type=file;size=3; up.txt", "-rw-r--r-- 1 u g 5 Jan 1 12:00 x", "12 34"})
        EXPECT_FALSE(IsListingFiller(entry)) << entry;
}

}  // namespace
