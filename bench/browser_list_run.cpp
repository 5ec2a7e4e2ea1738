// Times what a user of Brovin waits for when a big directory is listed: the
// real window, from the listing request until every row is in the list and
// the last one is painted on the screen, first with the login (after the
// window is up) and then on each refresh (F5). Prints one "key value" line
// per figure for the script.
//   browser_list_run HOST PORT USER PASSWORD DIRECTORY REFRESHES
// The store is whatever PARVEX_REGISTRY names (a throwaway one).
#include "browser/app.h"
#include "browser/main_frame.h"
#include "browser/view.h"
#include "common/registry/layout.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/imaglist.h>
#include <wx/init.h>
#include <wx/timer.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class BenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

// A line of /proc/self/status in KiB ("VmRSS", "VmHWM").
long StatusKiB(const std::string& key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + ":", 0) == 0) return std::atol(line.c_str() + key.size() + 1);
    return 0;
}

void WriteProfile(const char* host, const char* port, const char* user, const char* password, const char* dir) {
    SettingKey key;
    key.CreateKey(winreg::HKEY_CURRENT_USER, layout::EntryKey("bench", "entry"));
    key.WriteString(layout::kServerAddr, host);
    key.WriteDword(layout::kPort, static_cast<winreg::DWORD>(std::atoi(port)));
    key.WriteString(layout::kUserName, user);
    key.WriteString(layout::kPassword, password);
    key.WriteString(layout::kRoot, dir);
    key.CloseKey();
    key.CreateKey(winreg::HKEY_CURRENT_USER, layout::SelectedEntryKey("bench", "entry"));
    key.WriteString("Selected0", "/tmp/x");
    key.CloseKey();
}

// Runs the event loop until the next listing is in the view, then shows its
// last row and paints it; returns the seconds since `start`, -1 after 60 s.
double UntilLastRowShown(brovin::CBrovinView* view, Clock::time_point start) {
    wxGUIEventLoop loop;
    bool listed = false;
    view->onListed = [&] {
        listed = true;
        loop.ScheduleExit();
    };
    wxTimer guard;
    guard.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { loop.ScheduleExit(); });
    guard.StartOnce(60000);
    loop.Run();
    view->onListed = nullptr;
    if (!listed) return -1;
    view->Update();  // the first page
    if (long n = static_cast<long>(view->GetItemCount()); n > 0) view->EnsureVisible(n - 1);
    view->Update();  // the page with the last row
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: browser_list_run HOST PORT USER PASSWORD DIRECTORY REFRESHES\n");
        return 2;
    }
    wxApp::SetInstance(new BenchApp);
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv) || !wxTheApp->CallOnInit()) {
        std::fprintf(stderr, "cannot start wx: is there a display?\n");
        return 1;
    }
    WriteProfile(argv[1], argv[2], argv[3], argv[4], argv[5]);
    const int refreshes = std::atoi(argv[6]);

    // The window is built and shown first; the login and the first listing
    // run on the job thread from the end of StartBrowser on.
    Clock::time_point start = Clock::now();
    brovin::CMainFrame* frame = brovin::StartBrowser();
    brovin::CBrovinView* view = frame->View();
    const double window = std::chrono::duration<double>(Clock::now() - start).count();
    start = Clock::now();
    double first = UntilLastRowShown(view, start);
    if (first < 0 || !frame->Document().Connected()) {
        std::fprintf(stderr, "the first listing did not arrive: %s\n", frame->StatusText().utf8_str().data());
        return 1;
    }
    std::printf("rows %ld\nwindow %.4f\nfirst %.4f\n", static_cast<long>(view->GetItemCount()), window, first);
    long rssFirst = StatusKiB("VmRSS");
    std::vector<double> times;
    for (int i = 0; i < refreshes; ++i) {
        start = Clock::now();
        view->StartListing();
        double t = UntilLastRowShown(view, start);
        if (t < 0) {
            std::fprintf(stderr, "refresh %d did not arrive\n", i + 1);
            return 1;
        }
        times.push_back(t);
        if (i == 0) rssFirst = StatusKiB("VmRSS");
    }
    std::sort(times.begin(), times.end());
    if (!times.empty())
        std::printf("refresh_best %.4f\nrefresh_median %.4f\n", times.front(), times[times.size() / 2]);
    std::printf("rss_after_first_refresh %ld\nrss_after_last_refresh %ld\npeak %ld\nicons %d\n", rssFirst,
                StatusKiB("VmRSS"), StatusKiB("VmHWM"), view->GetImageList(wxIMAGE_LIST_SMALL)->GetImageCount());
    std::fflush(stdout);
    frame->Close(true);
    wxTheApp->OnExit();
    wxEntryCleanup();
    return 0;
}
