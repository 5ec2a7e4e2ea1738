// The browser's main window started in-process on a real server, with the helpers the window tests share.
#pragma once

#include "browser/app.h"
#include "browser/main_frame.h"
#include "browser/resources.h"
#include "browser/view.h"
#include "common/registry/layout.h"
#include "tests/support/ftp_server.h"
#include "tests/support/gui_support.h"
#include "tests/transfer/store_setup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace browsertest {

using namespace brovin;
using testsupport::FtpServer;
using testsupport::PumpUntil;
using testsupport::ReadFile;
using testsupport::WriteFile;

using testsupport::U;

class BrovinFixture : public ::testing::Test {
protected:
    testsupport::ScopedStore store;
    testsupport::TempDir local;
    CMainFrame* frame = nullptr;

    void TearDown() override { CloseFrame(); }
    void CloseFrame() {
        if (frame) frame->Close(true);
        testsupport::Pump(100);
        frame = nullptr;
    }
    // Starts the browser on `server` (reached through `port` when given) and waits for the login's end.
    void Start(const FtpServer& server, const std::string& root, const std::string& password = "", int port = 0) {
        transfertest::WriteEntry("prov", "entry", server, root, password);
        if (port) testsupport::Put(layout::EntryKey("prov", "entry"), {{layout::kPort, winreg::DWORD(port)}});
        transfertest::WriteHandOff("prov", "entry", {"/tmp/x"});
        frame = StartBrowser();
        ASSERT_TRUE(Settled());
    }
    // The queued jobs are done and what they posted has reached the window.
    bool Settled() {
        bool done = PumpUntil([this] { return frame->IsEnabled() && !frame->Jobs().Busy(); }, 15000);
        testsupport::Pump(30);
        return done;
    }
    std::string Status() { return frame->StatusText().utf8_string(); }
    // Whether `server` received a command that starts with `prefix`.
    static bool ReceivedStartingWith(const FtpServer& server, const std::string& prefix) {
        for (const auto& c : server.Commands())
            if (c.rfind(prefix, 0) == 0) return true;
        return false;
    }
    // Selects the row that shows `shown`, and only it.
    void Select(const std::string& shown) {
        CBrovinView* v = frame->View();
        for (long i = 0; i < v->GetItemCount(); ++i) {
            bool on = v->GetItemText(i) == U(shown);
            v->SetItemState(i, on ? wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED : 0,
                            wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        }
    }
    // Selects the row that shows `shown`, runs `command` on it and waits until it settled; false when it did not.
    bool RunOn(const std::string& shown, int command) {
        Select(shown);
        frame->View()->RunCommand(command);
        return Settled();
    }
    // The download-to command's folder chooser answers `folder` from now on.
    void DownloadInto(const std::string& folder) {
        frame->View()->chooseFolder = [folder](std::string& chosen) {
            chosen = folder;
            return true;
        };
    }
    // With PARVEX_BROVIN_SCREENSHOTS naming a folder: what the screen shows of
    // `w` (the frame when null), saved there as `name`.
    void Screenshot(const std::string& name, wxWindow* w = nullptr) {
        testsupport::Screenshot("PARVEX_BROVIN_SCREENSHOTS", w ? w : frame, name);
    }
    // The name dialog answers `text` from now on.
    void Answer(const std::string& text) {
        frame->View()->askName = [text](int, wxString& name) {
            name = U(text);
            return true;
        };
    }
};

}  // namespace browsertest
