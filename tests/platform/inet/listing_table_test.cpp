// The listing parser over lines that real servers and ls (in six locales) sent for the same files. The clock stood
// at 2026-12-07 13:00 UTC, so a date without a year is this year's unless it lies ahead. pyftpdlib's LIST lines have
// no shape the others lack, so only its MLSD appears.
#include "platform/inet/ftp_parse.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <tuple>

using namespace inet;

namespace {

struct Row {
    const char* family;
    std::string line;  // as received, the CR of CRLF included
    std::string name;
    // 'f' file, 'd' folder, 'l' link, 'j' a Windows junction: a link marked as a folder too. A delete or a
    // download must never follow a link it took for a folder, so every link is marked as a link.
    char kind;
    std::uint64_t size;
    const char* time;  // "YYYY-MM-DD HH:MM:SS", the server's clock
};

// A literal with a NUL inside, whole.
template <std::size_t N>
std::string Bytes(const char (&s)[N]) {
    return std::string(s, N - 1);
}

const Row kRows[] = {
    {"vsftpd LIST", "-rw-rw-rw-    1 0        0               2 Oct 01 00:00  lead  two spaces.txt\x0d", " lead  two spaces.txt", 'f', 2, "2026-10-01 00:00:00"},
    {"vsftpd LIST", "drwxrwxrwx    5 0        0            4096 Dec 07 12:59 .\x0d", ".", 'd', 4096, "2026-12-07 12:59:00"},
    {"vsftpd LIST", "drwxrwxrwx    4 0        0            4096 Dec 07 12:59 ..\x0d", "..", 'd', 4096, "2026-12-07 12:59:00"},
    {"vsftpd LIST", "-rw-rw-rw-    1 0        0         1234567 Jan 05  2019 big.bin\x0d", "big.bin", 'f', 1234567, "2019-01-05 00:00:00"},
    {"vsftpd LIST", "-rw-rw-rw-    1 0        0               2 Jun 01  2027 future.txt\x0d", "future.txt", 'f', 2, "2027-06-01 00:00:00"},
    {"vsftpd LIST", "lrwxrwxrwx    1 0        0               6 May 10  2026 linkdir -> shared\x0d", "linkdir", 'l', 6, "2026-05-10 00:00:00"},
    {"vsftpd LIST", "lrwxrwxrwx    1 0        0              10 May 11  2026 linkfile -> recent.txt\x0d", "linkfile", 'l', 10, "2026-05-11 00:00:00"},
    {"vsftpd LIST", "drwxrwxrwx    2 0        0            4096 Sep 09  2001 olddir\x0d", "olddir", 'd', 4096, "2001-09-09 00:00:00"},
    {"vsftpd LIST", "-rw-rw-rw-    1 0        0               6 Dec 07 02:05 recent.txt\x0d", "recent.txt", 'f', 6, "2026-12-07 02:05:00"},
    {"vsftpd LIST", "-rw-rw-rw-    1 0        0               2 Feb 28  2026 semi;colon.txt\x0d", "semi;colon.txt", 'f', 2, "2026-02-28 00:00:00"},
    {"vsftpd LIST", "drwxrwxrwx    2 0        0            4096 Dec 07 12:59 shared\x0d", "shared", 'd', 4096, "2026-12-07 12:59:00"},
    {"vsftpd LIST", "-rw-rw-rw-    1 0        0               2 Nov 20 08:00 sjis_\x93" "\xfa" "\x96" "{.txt\x0d", "sjis_\x93" "\xfa" "\x96" "{.txt", 'f', 2, "2026-11-20 08:00:00"},
    {"vsftpd LIST", "drwxrwxrwx    2 0        0            4096 Mar 01  2026 sub dir\x0d", "sub dir", 'd', 4096, "2026-03-01 00:00:00"},
    {"vsftpd LIST", "-rw-rw-rw-    1 0        0               2 Dec 07  2025 日本語ファイル.txt\x0d", "日本語ファイル.txt", 'f', 2, "2025-12-07 00:00:00"},
    {"pyftpdlib MLSD", "modify=20261207125921;perm=eldfmMTcp;size=4096;type=dir;unique=fe00ga72436; shared\x0d", "shared", 'd', 4096, "2026-12-07 12:59:21"},
    {"pyftpdlib MLSD", "modify=20260301090000;perm=eldfmMTcp;size=4096;type=dir;unique=fe00ga725f3; sub dir\x0d", "sub dir", 'd', 4096, "2026-03-01 09:00:00"},
    {"pyftpdlib MLSD", "modify=20010909014640;perm=eldfmMTcp;size=4096;type=dir;unique=fe00ga725f9; olddir\x0d", "olddir", 'd', 4096, "2001-09-09 01:46:40"},
    {"pyftpdlib MLSD", "modify=20261001000000;perm=radfwMT;size=2;type=file;unique=fe00ga725f8;  lead  two spaces.txt\x0d", " lead  two spaces.txt", 'f', 2, "2026-10-01 00:00:00"},
    {"pyftpdlib MLSD", "modify=20261207020500;perm=radfwMT;size=6;type=file;unique=fe00ga725f1; linkfile\x0d", "linkfile", 'f', 6, "2026-12-07 02:05:00"},
    {"pyftpdlib MLSD", "modify=20261207020500;perm=radfwMT;size=6;type=file;unique=fe00ga725f1; recent.txt\x0d", "recent.txt", 'f', 6, "2026-12-07 02:05:00"},
    {"pyftpdlib MLSD", "modify=20260228235900;perm=radfwMT;size=2;type=file;unique=fe00ga725fa; semi;colon.txt\x0d", "semi;colon.txt", 'f', 2, "2026-02-28 23:59:00"},
    {"pyftpdlib MLSD", "modify=20261120080000;perm=radfwMT;size=2;type=file;unique=fe00ga725f5; sjis_???{.txt\x0d", "sjis_???{.txt", 'f', 2, "2026-11-20 08:00:00"},
    {"pyftpdlib MLSD", "modify=20251207112500;perm=radfwMT;size=2;type=file;unique=fe00ga725f4; 日本語ファイル.txt\x0d", "日本語ファイル.txt", 'f', 2, "2025-12-07 11:25:00"},
    {"pyftpdlib MLSD", "modify=20261207125921;perm=eldfmMTcp;size=4096;type=dir;unique=fe00ga72436; linkdir\x0d", "linkdir", 'd', 4096, "2026-12-07 12:59:21"},
    {"pyftpdlib MLSD", "modify=20190105134500;perm=radfwMT;size=1234567;type=file;unique=fe00ga725f2; big.bin\x0d", "big.bin", 'f', 1234567, "2019-01-05 13:45:00"},
    {"pyftpdlib MLSD", "modify=20270601120000;perm=radfwMT;size=2;type=file;unique=fe00ga725fb; future.txt\x0d", "future.txt", 'f', 2, "2027-06-01 12:00:00"},
    {"proftpd LIST", "-rw-rw-rw-   1 0        0               2 Oct  1 00:00  lead  two spaces.txt\x0d", " lead  two spaces.txt", 'f', 2, "2026-10-01 00:00:00"},
    {"proftpd LIST", "drwxrwxrwx   5 0        0            4096 Dec  7 12:59 .\x0d", ".", 'd', 4096, "2026-12-07 12:59:00"},
    {"proftpd LIST", "drwxrwxrwx   5 0        0            4096 Dec  7 12:59 ..\x0d", "..", 'd', 4096, "2026-12-07 12:59:00"},
    {"proftpd LIST", "-rw-rw-rw-   1 0        0         1234567 Jan  5  2019 big.bin\x0d", "big.bin", 'f', 1234567, "2019-01-05 00:00:00"},
    {"proftpd LIST", "-rw-rw-rw-   1 0        0               2 Jun  1 12:00 future.txt\x0d", "future.txt", 'f', 2, "2026-06-01 12:00:00"},
    {"proftpd LIST", "lrwxrwxrwx   1 0        0               6 May 10  2026 linkdir -> shared\x0d", "linkdir", 'l', 6, "2026-05-10 00:00:00"},
    {"proftpd LIST", "lrwxrwxrwx   1 0        0              10 May 11  2026 linkfile -> recent.txt\x0d", "linkfile", 'l', 10, "2026-05-11 00:00:00"},
    {"proftpd LIST", "drwxrwxrwx   2 0        0            4096 Sep  9  2001 olddir\x0d", "olddir", 'd', 4096, "2001-09-09 00:00:00"},
    {"proftpd LIST", "-rw-rw-rw-   1 0        0               6 Dec  7 02:05 recent.txt\x0d", "recent.txt", 'f', 6, "2026-12-07 02:05:00"},
    {"proftpd LIST", "-rw-rw-rw-   1 0        0               2 Feb 28  2026 semi;colon.txt\x0d", "semi;colon.txt", 'f', 2, "2026-02-28 00:00:00"},
    {"proftpd LIST", "drwxrwxrwx   2 0        0            4096 Dec  7 12:59 shared\x0d", "shared", 'd', 4096, "2026-12-07 12:59:00"},
    {"proftpd LIST", "-rw-rw-rw-   1 0        0               2 Nov 20 08:00 sjis_\x93" "\xfa" "\x96" "{.txt\x0d", "sjis_\x93" "\xfa" "\x96" "{.txt", 'f', 2, "2026-11-20 08:00:00"},
    {"proftpd LIST", "drwxrwxrwx   2 0        0            4096 Mar  1  2026 sub dir\x0d", "sub dir", 'd', 4096, "2026-03-01 00:00:00"},
    {"proftpd LIST", "-rw-rw-rw-   1 0        0               2 Dec  7  2025 日本語ファイル.txt\x0d", "日本語ファイル.txt", 'f', 2, "2025-12-07 00:00:00"},
    {"proftpd MLSD", "modify=20261207125921;perm=flcdmpe;type=dir;unique=FE00UA72436;UNIX.group=0;UNIX.groupname=nogroup;UNIX.mode=0777;UNIX.owner=0;UNIX.ownername=parvex; shared\x0d", "shared", 'd', 0, "2026-12-07 12:59:21"},
    {"proftpd MLSD", "modify=20260301090000;perm=flcdmpe;type=dir;unique=FE00UA725F3;UNIX.group=0;UNIX.groupname=nogroup;UNIX.mode=0777;UNIX.owner=0;UNIX.ownername=parvex; sub dir\x0d", "sub dir", 'd', 0, "2026-03-01 09:00:00"},
    {"proftpd MLSD", "modify=20010909014640;perm=flcdmpe;type=dir;unique=FE00UA725F9;UNIX.group=0;UNIX.groupname=nogroup;UNIX.mode=0777;UNIX.owner=0;UNIX.ownername=parvex; olddir\x0d", "olddir", 'd', 0, "2001-09-09 01:46:40"},
    {"proftpd MLSD", "modify=20261001000000;perm=adfrw;size=2;type=file;unique=FE00UA725F8;UNIX.group=0;UNIX.groupname=nogroup;UNIX.mode=0666;UNIX.owner=0;UNIX.ownername=parvex;  lead  two spaces.txt\x0d", " lead  two spaces.txt", 'f', 2, "2026-10-01 00:00:00"},
    {"proftpd MLSD", "modify=20260511143000;perm=adfrw;size=10;type=OS.unix=symlink;unique=FE00UA725F1;UNIX.group=0;UNIX.groupname=nogroup;UNIX.mode=0777;UNIX.owner=0;UNIX.ownername=parvex; linkfile\x0d", "linkfile", 'l', 10, "2026-05-11 14:30:00"},
    {"proftpd MLSD", "modify=20261207020500;perm=adfrw;size=6;type=file;unique=FE00UA725F1;UNIX.group=0;UNIX.groupname=nogroup;UNIX.mode=0666;UNIX.owner=0;UNIX.ownername=parvex; recent.txt\x0d", "recent.txt", 'f', 6, "2026-12-07 02:05:00"},
    {"proftpd MLSD", "modify=20260228235900;perm=adfrw;size=2;type=file;unique=FE00UA725FA;UNIX.group=0;UNIX.groupname=nogroup;UNIX.mode=0666;UNIX.owner=0;UNIX.ownername=parvex; semi;colon.txt\x0d", "semi;colon.txt", 'f', 2, "2026-02-28 23:59:00"},
    {"proftpd MLSD", "modify=20261120080000;perm=adfrw;size=2;type=file;unique=FE00UA725F5;UNIX.group=0;UNIX.groupname=nogroup;UNIX.mode=0666;UNIX.owner=0;UNIX.ownername=parvex; sjis_\x93" "\xfa" "\x96" "{.txt\x0d", "sjis_\x93" "\xfa" "\x96" "{.txt", 'f', 2, "2026-11-20 08:00:00"},
    {"proftpd MLSD", "modify=20251207112500;perm=adfrw;size=2;type=file;unique=FE00UA725F4;UNIX.group=0;UNIX.groupname=nogroup;UNIX.mode=0666;UNIX.owner=0;UNIX.ownername=parvex; 日本語ファイル.txt\x0d", "日本語ファイル.txt", 'f', 2, "2025-12-07 11:25:00"},
    {"proftpd MLSD", "modify=20260510143000;perm=adfrw;size=6;type=OS.unix=symlink;unique=FE00UA72436;UNIX.group=0;UNIX.groupname=nogroup;UNIX.mode=0777;UNIX.owner=0;UNIX.ownername=parvex; linkdir\x0d", "linkdir", 'l', 6, "2026-05-10 14:30:00"},
    {"proftpd MLSD", "modify=20190105134500;perm=adfrw;size=1234567;type=file;unique=FE00UA725F2;UNIX.group=0;UNIX.groupname=nogroup;UNIX.mode=0666;UNIX.owner=0;UNIX.ownername=parvex; big.bin\x0d", "big.bin", 'f', 1234567, "2019-01-05 13:45:00"},
    {"proftpd MLSD", "modify=20270601120000;perm=adfrw;size=2;type=file;unique=FE00UA725FB;UNIX.group=0;UNIX.groupname=nogroup;UNIX.mode=0666;UNIX.owner=0;UNIX.ownername=parvex; future.txt\x0d", "future.txt", 'f', 2, "2027-06-01 12:00:00"},
    {"ls C", "-rw-r--r-- 1 root root       2 Oct  1 00:00   spaced  name.txt", "  spaced  name.txt", 'f', 2, "2026-10-01 00:00:00"},
    {"ls C", "-rw-r--r-- 1 root root 1234567 Jan  5  2019 big.bin", "big.bin", 'f', 1234567, "2019-01-05 00:00:00"},
    {"ls C", "-rw-r--r-- 1 root root       2 Feb 28  2026 feb.txt", "feb.txt", 'f', 2, "2026-02-28 00:00:00"},
    {"ls C", "lrwxrwxrwx 1 root root       9 May 10  2026 linkdir -> ../shared", "linkdir", 'l', 9, "2026-05-10 00:00:00"},
    {"ls C", "drwxr-xr-x 2 root root    4096 Sep  9  2001 olddir", "olddir", 'd', 4096, "2001-09-09 00:00:00"},
    {"ls C", "-rw-r--r-- 1 root root       6 Dec  7 02:05 recent.txt", "recent.txt", 'f', 6, "2026-12-07 02:05:00"},
    {"ls C", "drwxr-xr-x 2 root root    4096 Mar  1  2026 sub dir", "sub dir", 'd', 4096, "2026-03-01 00:00:00"},
    {"ls C", "-rw-r--r-- 1 root root       2 Dec  7  2025 日本語ファイル.txt", "日本語ファイル.txt", 'f', 2, "2025-12-07 00:00:00"},
    {"ls ja_JP", "-rw-r--r-- 1 root root       2 10月  1 00:00   spaced  name.txt", "  spaced  name.txt", 'f', 2, "2026-10-01 00:00:00"},
    {"ls ja_JP", "-rw-r--r-- 1 root root 1234567  1月  5  2019 big.bin", "big.bin", 'f', 1234567, "2019-01-05 00:00:00"},
    {"ls ja_JP", "-rw-r--r-- 1 root root       2  2月 28  2026 feb.txt", "feb.txt", 'f', 2, "2026-02-28 00:00:00"},
    {"ls ja_JP", "lrwxrwxrwx 1 root root       9  5月 10  2026 linkdir -> ../shared", "linkdir", 'l', 9, "2026-05-10 00:00:00"},
    {"ls ja_JP", "drwxr-xr-x 2 root root    4096  9月  9  2001 olddir", "olddir", 'd', 4096, "2001-09-09 00:00:00"},
    {"ls ja_JP", "-rw-r--r-- 1 root root       6 12月  7 02:05 recent.txt", "recent.txt", 'f', 6, "2026-12-07 02:05:00"},
    {"ls ja_JP", "drwxr-xr-x 2 root root    4096  3月  1  2026 sub dir", "sub dir", 'd', 4096, "2026-03-01 00:00:00"},
    {"ls ja_JP", "-rw-r--r-- 1 root root       2 12月  7  2025 日本語ファイル.txt", "日本語ファイル.txt", 'f', 2, "2025-12-07 00:00:00"},
    {"ls de_DE", "-rw-r--r-- 1 root root 1234567  5. Jan 2019  big.bin", "big.bin", 'f', 1234567, "2019-01-05 00:00:00"},
    {"ls de_DE", "-rw-r--r-- 1 root root       2 28. Feb 2026  feb.txt", "feb.txt", 'f', 2, "2026-02-28 00:00:00"},
    {"ls de_DE", "lrwxrwxrwx 1 root root       9 10. Mai 2026  linkdir -> ../shared", "linkdir", 'l', 9, "2026-05-10 00:00:00"},
    {"ls de_DE", "drwxr-xr-x 2 root root    4096  9. Sep 2001  olddir", "olddir", 'd', 4096, "2001-09-09 00:00:00"},
    {"ls de_DE", "-rw-r--r-- 1 root root       6  7. Dez 02:05 recent.txt", "recent.txt", 'f', 6, "2026-12-07 02:05:00"},
    {"ls de_DE", "-rw-r--r-- 1 root root       2  1. Okt 00:00   spaced  name.txt", "  spaced  name.txt", 'f', 2, "2026-10-01 00:00:00"},
    {"ls de_DE", "drwxr-xr-x 2 root root    4096  1. Mär 2026  sub dir", "sub dir", 'd', 4096, "2026-03-01 00:00:00"},
    {"ls de_DE", "-rw-r--r-- 1 root root       2  7. Dez 2025  日本語ファイル.txt", "日本語ファイル.txt", 'f', 2, "2025-12-07 00:00:00"},
    {"ls fr_FR", "-rw-r--r-- 1 root root 1234567  5 janv.  2019 big.bin", "big.bin", 'f', 1234567, "2019-01-05 00:00:00"},
    {"ls fr_FR", "-rw-r--r-- 1 root root       2 28 févr.  2026 feb.txt", "feb.txt", 'f', 2, "2026-02-28 00:00:00"},
    {"ls fr_FR", "lrwxrwxrwx 1 root root       9 10 mai    2026 linkdir -> ../shared", "linkdir", 'l', 9, "2026-05-10 00:00:00"},
    {"ls fr_FR", "drwxr-xr-x 2 root root    4096  9 sept.  2001 olddir", "olddir", 'd', 4096, "2001-09-09 00:00:00"},
    {"ls fr_FR", "-rw-r--r-- 1 root root       6  7 déc.  02:05 recent.txt", "recent.txt", 'f', 6, "2026-12-07 02:05:00"},
    {"ls fr_FR", "-rw-r--r-- 1 root root       2  1 oct.  00:00   spaced  name.txt", "  spaced  name.txt", 'f', 2, "2026-10-01 00:00:00"},
    {"ls fr_FR", "drwxr-xr-x 2 root root    4096  1 mars   2026 sub dir", "sub dir", 'd', 4096, "2026-03-01 00:00:00"},
    {"ls fr_FR", "-rw-r--r-- 1 root root       2  7 déc.   2025 日本語ファイル.txt", "日本語ファイル.txt", 'f', 2, "2025-12-07 00:00:00"},
    {"ls zh_CN", "-rw-r--r-- 1 root root       2 2025年12月 7日 日本語ファイル.txt", "日本語ファイル.txt", 'f', 2, "2025-12-07 00:00:00"},
    {"ls zh_CN", "-rw-r--r-- 1 root root 1234567 2019年 1月 5日 big.bin", "big.bin", 'f', 1234567, "2019-01-05 00:00:00"},
    {"ls zh_CN", "-rw-r--r-- 1 root root       2 2026年 2月28日 feb.txt", "feb.txt", 'f', 2, "2026-02-28 00:00:00"},
    {"ls zh_CN", "lrwxrwxrwx 1 root root       9 2026年 5月10日 linkdir -> ../shared", "linkdir", 'l', 9, "2026-05-10 00:00:00"},
    {"ls zh_CN", "drwxr-xr-x 2 root root    4096 2001年 9月 9日 olddir", "olddir", 'd', 4096, "2001-09-09 00:00:00"},
    {"ls zh_CN", "-rw-r--r-- 1 root root       6 12月 7日 02:05 recent.txt", "recent.txt", 'f', 6, "2026-12-07 02:05:00"},
    {"ls zh_CN", "-rw-r--r-- 1 root root       2 10月 1日 00:00   spaced  name.txt", "  spaced  name.txt", 'f', 2, "2026-10-01 00:00:00"},
    {"ls zh_CN", "drwxr-xr-x 2 root root    4096 2026年 3月 1日 sub dir", "sub dir", 'd', 4096, "2026-03-01 00:00:00"},
    {"ls ko_KR", "-rw-r--r-- 1 root root       2 10월  1일  00:00   spaced  name.txt", "  spaced  name.txt", 'f', 2, "2026-10-01 00:00:00"},
    {"ls ko_KR", "-rw-r--r-- 1 root root 1234567 2019년  1월  5일 big.bin", "big.bin", 'f', 1234567, "2019-01-05 00:00:00"},
    {"ls ko_KR", "-rw-r--r-- 1 root root       2 2026년  2월 28일 feb.txt", "feb.txt", 'f', 2, "2026-02-28 00:00:00"},
    {"ls ko_KR", "lrwxrwxrwx 1 root root       9 2026년  5월 10일 linkdir -> ../shared", "linkdir", 'l', 9, "2026-05-10 00:00:00"},
    {"ls ko_KR", "drwxr-xr-x 2 root root    4096 2001년  9월  9일 olddir", "olddir", 'd', 4096, "2001-09-09 00:00:00"},
    {"ls ko_KR", "-rw-r--r-- 1 root root       6 12월  7일  02:05 recent.txt", "recent.txt", 'f', 6, "2026-12-07 02:05:00"},
    {"ls ko_KR", "drwxr-xr-x 2 root root    4096 2026년  3월  1일 sub dir", "sub dir", 'd', 4096, "2026-03-01 00:00:00"},
    {"ls ko_KR", "-rw-r--r-- 1 root root       2 2025년 12월  7일 日本語ファイル.txt", "日本語ファイル.txt", 'f', 2, "2025-12-07 00:00:00"},
    {"ls iso", "-rw-r--r-- 1 root root       2 10-01 00:00   spaced  name.txt", "  spaced  name.txt", 'f', 2, "2026-10-01 00:00:00"},
    {"ls iso", "-rw-r--r-- 1 root root 1234567 2019-01-05  big.bin", "big.bin", 'f', 1234567, "2019-01-05 00:00:00"},
    {"ls iso", "-rw-r--r-- 1 root root       2 2026-02-28  feb.txt", "feb.txt", 'f', 2, "2026-02-28 00:00:00"},
    {"ls iso", "lrwxrwxrwx 1 root root       9 2026-05-10  linkdir -> ../shared", "linkdir", 'l', 9, "2026-05-10 00:00:00"},
    {"ls iso", "drwxr-xr-x 2 root root    4096 2001-09-09  olddir", "olddir", 'd', 4096, "2001-09-09 00:00:00"},
    {"ls iso", "-rw-r--r-- 1 root root       6 12-07 02:05 recent.txt", "recent.txt", 'f', 6, "2026-12-07 02:05:00"},
    {"ls iso", "drwxr-xr-x 2 root root    4096 2026-03-01  sub dir", "sub dir", 'd', 4096, "2026-03-01 00:00:00"},
    {"ls iso", "-rw-r--r-- 1 root root       2 2025-12-07  日本語ファイル.txt", "日本語ファイル.txt", 'f', 2, "2025-12-07 00:00:00"},
    {"ls long-iso", "-rw-r--r-- 1 root root       2 2026-10-01 00:00   spaced  name.txt", "  spaced  name.txt", 'f', 2, "2026-10-01 00:00:00"},
    {"ls long-iso", "-rw-r--r-- 1 root root 1234567 2019-01-05 13:45 big.bin", "big.bin", 'f', 1234567, "2019-01-05 13:45:00"},
    {"ls long-iso", "-rw-r--r-- 1 root root       2 2026-02-28 23:59 feb.txt", "feb.txt", 'f', 2, "2026-02-28 23:59:00"},
    {"ls long-iso", "lrwxrwxrwx 1 root root       9 2026-05-10 14:30 linkdir -> ../shared", "linkdir", 'l', 9, "2026-05-10 14:30:00"},
    {"ls long-iso", "drwxr-xr-x 2 root root    4096 2001-09-09 01:46 olddir", "olddir", 'd', 4096, "2001-09-09 01:46:00"},
    {"ls long-iso", "-rw-r--r-- 1 root root       6 2026-12-07 02:05 recent.txt", "recent.txt", 'f', 6, "2026-12-07 02:05:00"},
    {"ls long-iso", "drwxr-xr-x 2 root root    4096 2026-03-01 09:00 sub dir", "sub dir", 'd', 4096, "2026-03-01 09:00:00"},
    {"ls long-iso", "-rw-r--r-- 1 root root       2 2025-12-07 11:25 日本語ファイル.txt", "日本語ファイル.txt", 'f', 2, "2025-12-07 11:25:00"},
    {"ls full-iso", "-rw-r--r-- 1 root root       2 2026-10-01 00:00:00.000000000 +0000   spaced  name.txt", "  spaced  name.txt", 'f', 2, "2026-10-01 00:00:00"},
    {"ls full-iso", "-rw-r--r-- 1 root root 1234567 2019-01-05 13:45:00.000000000 +0000 big.bin", "big.bin", 'f', 1234567, "2019-01-05 13:45:00"},
    {"ls full-iso", "-rw-r--r-- 1 root root       2 2026-02-28 23:59:00.000000000 +0000 feb.txt", "feb.txt", 'f', 2, "2026-02-28 23:59:00"},
    {"ls full-iso", "lrwxrwxrwx 1 root root       9 2026-05-10 14:30:00.000000000 +0000 linkdir -> ../shared", "linkdir", 'l', 9, "2026-05-10 14:30:00"},
    {"ls full-iso", "drwxr-xr-x 2 root root    4096 2001-09-09 01:46:40.000000000 +0000 olddir", "olddir", 'd', 4096, "2001-09-09 01:46:40"},
    {"ls full-iso", "-rw-r--r-- 1 root root       6 2026-12-07 02:05:00.000000000 +0000 recent.txt", "recent.txt", 'f', 6, "2026-12-07 02:05:00"},
    {"ls full-iso", "drwxr-xr-x 2 root root    4096 2026-03-01 09:00:00.000000000 +0000 sub dir", "sub dir", 'd', 4096, "2026-03-01 09:00:00"},
    {"ls full-iso", "-rw-r--r-- 1 root root       2 2025-12-07 11:25:00.000000000 +0000 日本語ファイル.txt", "日本語ファイル.txt", 'f', 2, "2025-12-07 11:25:00"},
    // Unix forms other servers send.
    {"unix, other servers", "-rw-r--r--   1 ftp      ftp          1024 Jan 23  2:05 nozero.txt", "nozero.txt", 'f', 1024, "2026-01-23 02:05:00"},
    {"unix, other servers", "-rw-r--r--   1 user     group           0 Mar  4 24:00 midnight.txt", "midnight.txt", 'f', 0, "2026-03-05 00:00:00"},
    {"unix, other servers", "-rw-r--r--+  1 user     group          12 Nov 30 09:15 acl.txt", "acl.txt", 'f', 12, "2026-11-30 09:15:00"},
    {"unix, other servers", "-rw-r--r--.  1 user     group          12 Nov 30 09:15 selinux.txt", "selinux.txt", 'f', 12, "2026-11-30 09:15:00"},
    {"unix, other servers", "-rw-r--r--   1 owner          77 Mar 10  2021 nogroup.txt", "nogroup.txt", 'f', 77, "2021-03-10 00:00:00"},
    {"unix, other servers", "drwxr-xr-x   3 ftp      ftp          4096 Dec 31 23:59 newyear", "newyear", 'd', 4096, "2025-12-31 23:59:00"},
    {"unix, other servers", "-rw-r--r--   1 ftp      ftp             5 Dec  8 10:00 tomorrow.txt", "tomorrow.txt", 'f', 5, "2026-12-08 10:00:00"},
    {"unix, other servers", "crw-rw-rw-   1 root     root       1,   3 Jan  1  2020 null", "null", 'f', 0, "2020-01-01 00:00:00"},
    {"unix, other servers", "-rw-r--r--   1 ftp      ftp             5 Jun  1 12:00 a -> b.txt", "a -> b.txt", 'f', 5, "2026-06-01 12:00:00"},
    {"unix, other servers", "lrwxrwxrwx   1 ftp      ftp             7 Jan  1  2020 my link -> target dir", "my link", 'l', 7, "2020-01-01 00:00:00"},
    {"unix, other servers", "-rw-r--r--   1 ftp      ftp             5 Jun  1 12:00 tab\there\r", "tab\there", 'f', 5, "2026-06-01 12:00:00"},
    {"unix, other servers", "-rw-r--r--   1 ftp      ftp             5 Jun  1 12:00 cr\rinside\r\r", "cr\rinside\r", 'f', 5, "2026-06-01 12:00:00"},
    {"unix, other servers", Bytes("-rw-r--r--   1 ftp      ftp             5 Jun  1 12:00 nul\0inside\r"), Bytes("nul\0inside"), 'f', 5, "2026-06-01 12:00:00"},
    {"unix, other servers", "-rw-r--r--   1 ftp      ftp             5 Jun  1 12:00 bad\xff\xfeutf8", "bad\xff\xfeutf8", 'f', 5, "2026-06-01 12:00:00"},
    // IIS and Windows "dir" in its usual locales.
    {"DOS/IIS", "04-27-00  09:09PM       <DIR>          licensed", "licensed", 'd', 0, "2000-04-27 21:09:00"},
    {"DOS/IIS", "07-18-2000  10:16AM                 4 readme.txt", "readme.txt", 'f', 4, "2000-07-18 10:16:00"},
    {"DOS/IIS", "12-01-21  12:30AM                100 mid night.txt\r", "mid night.txt", 'f', 100, "2021-12-01 00:30:00"},
    {"DOS/IIS", "12-07-26  02:05AM                  6 recent.txt\r", "recent.txt", 'f', 6, "2026-12-07 02:05:00"},
    {"DOS/IIS", "01-05-2019  01:45PM            1234567 big.bin\r", "big.bin", 'f', 1234567, "2019-01-05 13:45:00"},
    {"DOS/IIS", "2019-01-05  13:45       <DIR>          sub dir\r", "sub dir", 'd', 0, "2019-01-05 13:45:00"},
    {"DOS/IIS", "2019-01-05  13:45          1,234,567 big.bin\r", "big.bin", 'f', 1234567, "2019-01-05 13:45:00"},
    {"DOS/IIS", "2019/01/05  13:45    <DIR>          sub dir", "sub dir", 'd', 0, "2019-01-05 13:45:00"},
    {"DOS/IIS", "2019/01/05  13:45         1,234,567 日本語.txt", "日本語.txt", 'f', 1234567, "2019-01-05 13:45:00"},
    {"DOS/IIS", "01/05/2019  01:45 PM         1,234,567 big.bin", "big.bin", 'f', 1234567, "2019-01-05 13:45:00"},
    {"DOS/IIS", "05.01.2019  13:45         1.234.567 big.bin", "big.bin", 'f', 1234567, "2019-01-05 13:45:00"},
    {"DOS/IIS", "2019/01/05  13:45    <JUNCTION>     Application Data [C:\\Users\\u\\AppData\\Roaming]", "Application Data", 'j', 0, "2019-01-05 13:45:00"},
    // MLSD forms other servers send.
    {"MLSD, other servers", "type=file;size=3;modify=20261206230900;\tup one.txt\r", "up one.txt", 'f', 3, "2026-12-06 23:09:00"},
    {"MLSD, other servers", "Type=dir;Modify=20200101000000;Unique=801g1; sub dir; with semicolon\r", "sub dir; with semicolon", 'd', 0, "2020-01-01 00:00:00"},
    {"MLSD, other servers", "type=OS.unix=slink:/srv/my dir;size=9;modify=20200101000000; link name\r", "link name", 'l', 9, "2020-01-01 00:00:00"},
    {"MLSD, other servers", "type=file;size=5;modify=20261206230900.123; frac.txt\r", "frac.txt", 'f', 5, "2026-12-06 23:09:00"},
    {"MLSD, other servers", "type=file;size=1;modify=20200101000000; trailing space \r", "trailing space ", 'f', 1, "2020-01-01 00:00:00"},
    {"MLSD, other servers", Bytes("type=file;size=1;modify=20200101000000; nul\0x\r"), Bytes("nul\0x"), 'f', 1, "2020-01-01 00:00:00"},
};

std::int64_t Seconds(const char* when) {
    std::tm t{};
    std::sscanf(when, "%d-%d-%d %d:%d:%d", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour, &t.tm_min, &t.tm_sec);
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return timegm(&t);
}

bool Mlsd(const Row& r) { return std::string(r.family).find("MLSD") != std::string::npos; }

// Every row is read as stated; the figures per family go to the log.
TEST(FtpListingTables, EveryFamilyIsReadWhole) {
    const std::time_t now = Seconds("2026-12-07 13:00:00");
    std::map<std::string, std::pair<int, int>> figures;  // family: read, lines
    std::vector<std::string> order;
    for (const Row& r : kRows) {
        SCOPED_TRACE(std::string(r.family) + ": " + r.line);
        if (!figures.count(r.family)) order.push_back(r.family);
        ListEntry e;
        const bool ok = Mlsd(r) ? ParseMlsdLine(r.line, e) : ParseListLine(r.line, now, e);
        const auto got = std::make_tuple(ok, e.name, e.directory, e.link, e.size, e.mtime);
        const auto want = std::make_tuple(true, r.name, r.kind == 'd' || r.kind == 'j', r.kind == 'l' || r.kind == 'j',
                                          r.size, Seconds(r.time));
        EXPECT_EQ(got, want);
        figures[r.family].first += got == want ? 1 : 0;
        figures[r.family].second += 1;
    }
    for (const std::string& family : order)
        std::printf("listing lines read, %s: %d of %d\n", family.c_str(), figures[family].first, figures[family].second);
}

}  // namespace
