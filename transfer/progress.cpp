#include "transfer/progress.h"

namespace transfer {

namespace {
std::atomic<ProgressDisplay*> g_display{nullptr};
}

namespace {
std::mutex g_slotMu;
inet::InternetSession* g_session = nullptr;
bool g_stopped = false;
}  // namespace

void PublishSession(inet::InternetSession* session) {
    std::lock_guard<std::mutex> lock(g_slotMu);
    g_session = session;
    // A stop that came before the session existed would otherwise be lost,
    // and the walker would upload with no window left to stop it.
    if (g_stopped && session) session->Close();
}

void CloseConnection() {
    std::lock_guard<std::mutex> lock(g_slotMu);
    g_stopped = true;
    if (g_session) g_session->Close();
}

void ResetStop() {
    std::lock_guard<std::mutex> lock(g_slotMu);
    g_stopped = false;
}

void WithdrawConnection() {
    std::lock_guard<std::mutex> lock(g_slotMu);
    g_session = nullptr;
    g_stopped = false;  // it was this walker's, and the walker is done
}

void SetProgressDisplay(ProgressDisplay* display) { g_display = display; }
ProgressDisplay* Progress() { return g_display; }

void ShowStatus(const std::string& text) {
    if (ProgressDisplay* d = g_display) {
        d->SetStatusText(text);
        d->RepaintStatus();
    }
}

}  // namespace transfer
