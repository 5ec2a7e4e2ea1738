#include "transfer/progress.h"

namespace transfer {

namespace {
std::atomic<ProgressDisplay*> g_display{nullptr};
}

namespace {
std::mutex g_slotMu;
inet::InternetSession* g_session = nullptr;
}  // namespace

void PublishSession(inet::InternetSession* session) {
    std::lock_guard<std::mutex> lock(g_slotMu);
    g_session = session;
}

void CloseConnection() {
    std::lock_guard<std::mutex> lock(g_slotMu);
    if (g_session) g_session->Close();
}

void WithdrawConnection() {
    std::lock_guard<std::mutex> lock(g_slotMu);
    g_session = nullptr;
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
