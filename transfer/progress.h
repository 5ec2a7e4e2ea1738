// What the upload walkers see of the progress dialog, and the slot through
// which the dialog reaches the walker's FTP connection. Both are
// process-wide: the dialog sets them before it starts a walker.
#pragma once

#include "platform/inet/inet.h"

#include <atomic>
#include <mutex>
#include <cstdint>
#include <string>

namespace transfer {

// Implemented by the dialog (which posts every call to its window thread)
// and by the tests (which record the calls).
class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void RepaintStatus() = 0;
    virtual void SetRange(std::int32_t low, std::int32_t high) = 0;
    virtual void SetStep(std::int32_t step) = 0;
    virtual void StepIt() = 0;
    virtual void PlayAnimation() = 0;
    virtual void EndDisplay() = 0;
    // The walk is over, before the closing pause: `succeeded` is false when
    // anything failed or was left out. The dialog stops its animation and no
    // longer offers to abort. The walkers call it once, just before EndDisplay's pause.
    virtual void TransferEnded(bool succeeded) { (void)succeeded; }
    // The item the walk is on, named as the status line names it, so that a
    // failure can say which file it was; empty while the walk is on none.
    // A walk that ends with items left out names the first of them.
    virtual void SetCurrentItem(const std::string& item) { (void)item; }
};

// The display the walkers report to; null before the dialog sets it, and
// then reports go nowhere.
void SetProgressDisplay(ProgressDisplay* display);
ProgressDisplay* Progress();

// The slot through which the dialog reaches the running walker's FTP
// connection: the walker publishes its session before it connects, so that
// closing stops a connect, a login or a transfer at once. All of them take
// the slot's lock, so that a walker ending (and freeing its session) and a
// dialog closing it can never cross.
// A session published after CloseConnection is closed at once: the stop
// holds for the walker that has not got that far yet.
void PublishSession(inet::InternetSession* session);
// Closes the published session and so its connection, if any, and stops one
// published later; safe from any thread.
void CloseConnection();
// Empties the slot and forgets the stop; the walker calls it before its session goes away.
void WithdrawConnection();
// Forgets a stop meant for an earlier walker; call it before a walker starts.
void ResetStop();

// Writes `text` into the status line and repaints it (when a display is set).
void ShowStatus(const std::string& text);

}  // namespace transfer
