#include "transfer/progress.h"

namespace transfer {

namespace {
std::atomic<ProgressDisplay*> g_display{nullptr};
}

std::atomic<inet::FtpConnection*> g_connection{nullptr};

void SetProgressDisplay(ProgressDisplay* display) { g_display = display; }
ProgressDisplay* Progress() { return g_display; }

void ShowStatus(const std::string& text) {
    if (ProgressDisplay* d = g_display) {
        d->SetStatusText(text);
        d->RepaintStatus();
    }
}

}  // namespace transfer
