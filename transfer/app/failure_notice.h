// Tells the desktop about a transfer that failed or was stopped, through the
// freedesktop notification service: the progress dialog closes by itself a
// few seconds after a failure, and a user who looked away would otherwise
// never learn why nothing arrived.
#pragma once

#include <string>

namespace dravik {

// A transfer that did not end well, as the dialog showed it last.
struct FailedTransfer {
    bool aborted = false;  // the user closed the dialog before the walk was over
    std::string provider;
    std::string entry;
    std::string item;    // the file the walk was on, as the status line names it; empty when none
    std::string status;  // the status line's last text
    std::string encryption;  // how the connection was protected ("TLS1.3", "暗号化なし"); empty for plain FTP as set
};

struct FailureNotice {
    std::string summary;
    std::string body;
};

// The notice's summary and body for `what`. Every part may come from outside
// (file names, server replies, settings): invalid UTF-8 is replaced, control
// characters are written out (the status keeps its line breaks), long parts
// are cut between characters, and with `markup` (the service reads the body
// as markup) "&", "<" and ">" are escaped. Never fails.
FailureNotice ComposeFailureNotice(const FailedTransfer& what, bool markup);

enum class NoticeResult {
    Shown,     // the service took it
    NotShown,  // no session bus or no service on it; one line went to stderr
    NoAnswer,  // the service did not answer in time; the sending thread is left behind
};

// The longest SendFailureNotice waits for the service.
constexpr int kNoticeWaitMs = 3000;

// Posts the notice for `what` (icon "parvex", application "Parvex") from a
// thread of its own and waits at most `waitMs` for the service. After
// NoAnswer the program should end without running static destructors, as the
// sending thread may still be inside the bus library.
NoticeResult SendFailureNotice(const FailedTransfer& what, int waitMs = kNoticeWaitMs);

}  // namespace dravik
