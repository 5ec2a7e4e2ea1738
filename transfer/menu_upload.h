// The upload the context menu asks for, as the transfer program runs it:
// takes the hand-off, reads the entry's connection values (and, for the
// entry "拡張子別転送", its rules), connects, enters the entry's directory,
// walks with the upload walker and tells every step to a progress display
// in the program's own texts, then pauses and ends the display.
#pragma once

#include "transfer/progress.h"
#include "transfer/upload_walker.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace transfer {

// The status line's text for an FTP error `code`: for 12003 the server's
// last reply (nullopt, leaving the line as it is, when none was kept), else
// the message table's text; empty when no text is known for the code.
std::optional<std::string> InternetErrorStatus(std::uint32_t code);

class MenuUpload : private UploadReport {
public:
    // `pause` replaces the closing pause (seconds) when given; by default
    // it is a real wait that Stop cuts short.
    explicit MenuUpload(ProgressDisplay& display, std::function<void(int)> pause = {});

    // Runs the whole upload on the calling thread. Returns 0; how it went is
    // what the display was told (TransferEnded, the last status text).
    int Run();

    // From any thread, at any time (before, while or after it connects):
    // the connection is closed, the walk stops at once and the closing
    // pause is cut short. The display may still be called until Run returns.
    void Stop();

private:
    // The upload walker's reports, in the transfer program's texts.
    void Item(int count, const std::string& shown) override;
    void FolderStarted() override;
    void FolderEntered(const std::string& here) override;
    void FileStarted(const std::string& relative, const std::string& shown) override;
    void Converting(const std::string& text) override;
    void Sending() override;
    void ItemDone() override;
    void Skipped(const std::string& text, walk::Skip why) override;
    void Halted(Halt why, const std::string& name, inet::DWORD code) override;

    int Walk();
    void Status(const std::string& text);
    void ErrorStatus(inet::DWORD code);
    bool EnterRoot(inet::FtpConnection* conn, const std::string& root);
    int End(int seconds, bool succeeded);
    int FailWith(const std::string& status, int seconds);
    void Pause(int seconds);

    ProgressDisplay& display_;
    std::function<void(int)> pause_;
    UploadWalker walker_;
    bool perExtension_ = false;
    std::string connected_;
    int haltPause_ = 3;  // seconds the status of the halt that ended the walk stays

    std::mutex pauseMu_;
    std::condition_variable pauseCv_;
};

}  // namespace transfer
