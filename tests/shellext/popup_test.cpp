// parvex-menu: the handler's menu as a wx popup, and the real program driven by key presses on a virtual screen, as a
// user of another file manager meets it.
#include "manager/thunar_action.h"
#include "shellext/popup/popup.h"
#include "tests/shellext/module_host.h"
#include "tests/support/gui_support.h"

#include <wx/menu.h>
#include <wx/uiaction.h>

#include <csignal>
#include <fstream>
#include <sys/wait.h>

using namespace shelltest;

namespace {

std::vector<std::string> Labels(const wxMenu& menu, const std::string& indent = "") {
    std::vector<std::string> out;
    for (const wxMenuItem* item : menu.GetMenuItems()) {
        if (item->IsSeparator()) {
            out.push_back(indent + "-");
        } else if (item->IsSubMenu()) {
            out.push_back(indent + item->GetItemLabel().utf8_string());
            auto sub = Labels(*item->GetSubMenu(), indent + "  ");
            out.insert(out.end(), sub.begin(), sub.end());
        } else {
            out.push_back(indent + item->GetItemLabel().utf8_string() + " #" + std::to_string(item->GetId()));
        }
    }
    return out;
}

class Popup : public SuiteStore {
protected:
    testsupport::TempDir dir;
    std::string record = dir / "started";

    // Down to provider A, into it, down to "ホームページ", chosen: as a user's keys would.
    void ChooseTheEntry() {
        EXPECT_TRUE(testsupport::PumpUntil([] { return MenuId("A", "e1") == 1; }, 15000)) << "the menu was not built";
        testsupport::Pump(1000);
        wxUIActionSimulator keys;
        for (int key : {WXK_DOWN, WXK_RIGHT, WXK_DOWN, WXK_RETURN}) {
            keys.Char(key);
            testsupport::Pump(250);
        }
    }
    // Starts `argv` (parvex-menu as a file manager starts it) with the entry's menu number forgotten, so that this
    // menu's build can be seen; returns its process id.
    int SpawnMenu(const std::vector<std::string>& argv) {
        SettingKey entry;
        entry.OpenKey(winreg::HKEY_CURRENT_USER, layout::EntryKey("A", "e1"));
        entry.DeleteValue(layout::kMenuId);
        return testsupport::Spawn(argv);
    }
    // Runs `argv`, chooses the entry and returns the paths the hand-off received; the program must have started the
    // transfer for that entry and ended.
    std::vector<std::string> HandedOff(const std::vector<std::string>& argv) {
        layout::DeleteHandOff();
        ::unlink(record.c_str());
        int pid = SpawnMenu(argv);
        ChooseTheEntry();
        const std::string started = Started(record, 5000);
        if (started.empty()) ::kill(pid, SIGKILL);
        EXPECT_EQ(testsupport::Wait(pid), started.empty() ? 128 + SIGKILL : 0);
        EXPECT_EQ(started, "dravik\n");
        layout::HandOff handOff;
        layout::ReadHandOff(handOff);
        EXPECT_EQ(handOff.entry, "e1");
        return handOff.paths;
    }
};

TEST_F(Popup, TheModelBecomesTheSameWxMenuWithoutOuterSeparators) {
    com::Menu model;
    model.AppendSeparator();
    auto sub = std::make_shared<com::Menu>();
    sub->AppendCommand(7, "拡張子別転送");
    sub->AppendSeparator();
    sub->AppendCommand(8, "R&D");
    model.AppendPopup(sub, "A");
    model.AppendSeparator();
    auto menu = popup::ToWxMenu(model);
    EXPECT_EQ(Labels(*menu), (std::vector<std::string>{"A", "  拡張子別転送 #7", "  -", "  R&&D #8"}))
        << "an entry's & is shown, not turned into a mnemonic";
}

TEST_F(Popup, HandlerBuildsOnlyWhenRegisteredAndInvokesWithTheKeysHeld) {
    Entry("A", "e1", "ホームページ");
    Programs(record);
    popup::Handler unregistered(PARVEX_MODULE);
    EXPECT_FALSE(unregistered.Build({dir.path()}));
    EXPECT_NE(unregistered.Error().find("regsvr32"), std::string::npos) << unregistered.Error();

    ASSERT_EQ(Export<DllRegisterServerFn>("DllRegisterServer")(), com::S_OK);
    popup::Handler h(PARVEX_MODULE);
    ASSERT_TRUE(h.Build({dir.path()})) << h.Error();
    ASSERT_NE(h.ParvexMenu(), nullptr);
    auto menu = popup::ToWxMenu(*h.ParvexMenu());
    EXPECT_EQ(Labels(*menu), (std::vector<std::string>{"A", "  拡張子別転送 #100", "  -", "  ホームページ #101"}));
    EXPECT_EQ(h.Invoke(101, com::CMIC_MASK_SHIFT_DOWN), com::S_OK);
    EXPECT_EQ(Started(record), "brovin\n");

    popup::Handler broken("/nonexistent/parvex.so");
    EXPECT_FALSE(broken.Build({dir.path()}));
    EXPECT_NE(broken.Error().find("cannot load"), std::string::npos);

    // A corrupt store is named as such, not taken for a missing registration
    // (the module shares the program's store, so it sees the corrupt one too).
    ASSERT_EQ(Export<DllUnregisterServerFn>("DllUnregisterServer")(), com::S_OK);
    const std::string healthy = std::getenv("PARVEX_REGISTRY"), corrupt = dir / "corrupt.db";
    testsupport::WriteFile(corrupt, std::string(4096, 'z'));
    ::setenv("PARVEX_REGISTRY", corrupt.c_str(), 1);
    winreg::ResetStore();
    popup::Handler unusable(PARVEX_MODULE);
    EXPECT_FALSE(unusable.Build({dir.path()}));
    EXPECT_NE(unusable.Error().find("settings store " + corrupt + " cannot be used"), std::string::npos)
        << unusable.Error();
    ::setenv("PARVEX_REGISTRY", healthy.c_str(), 1);
    winreg::ResetStore();
}

// parvex-menu as Dolphin's service menu and Thunar's custom action start it, each selected path in place of %F as one
// argument: the menu is built just before it pops up and takes the keyboard, a choice starts the transfer with names
// (spaces, quotes, Japanese) whole, and a transfer program that cannot start is not passed over in silence.
TEST_F(Popup, TheProgramPopsTheMenuUpAndAKeyboardChoiceHandsEveryPathOverWhole) {
    Entry("A", "e1", "ホームページ");
    Programs(record);
    ASSERT_EQ(Export<DllRegisterServerFn>("DllRegisterServer")(), com::S_OK);
    const std::vector<std::string> selection = {dir / "a b.html", dir / "日記 'x'.txt"};
    for (const auto& p : selection) testsupport::WriteFile(p, "x");

    // Dolphin: the action's Exec line, its words split at spaces, %F one argument per path.
    std::ifstream service(PARVEX_SERVICE_MENU);
    std::string line, exec;
    for (bool inAction = false; std::getline(service, line);) {
        if (line.rfind("[", 0) == 0) inAction = line == "[Desktop Action parvex]";
        if (inAction && line.rfind("Exec=", 0) == 0) exec = line.substr(5);
    }
    ASSERT_EQ(exec, "parvex-menu %F");
    std::vector<std::string> argv{PARVEX_MENU};
    argv.insert(argv.end(), selection.begin(), selection.end());
    EXPECT_EQ(HandedOff(argv), selection);

    // Thunar: each path shell-quoted into the command, the line parsed as a shell would.
    std::string command = thunar::kActionCommand, quoted;
    for (const auto& p : selection) {
        quoted += " '";
        for (char c : p) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        quoted += "'";
    }
    command.replace(command.find(" %F"), 3, quoted);
    command.replace(0, std::string("parvex-menu").size(), PARVEX_MENU);
    EXPECT_EQ(HandedOff({"/bin/sh", "-c", "exec " + command}), selection);

    // A transfer program that cannot be started: a message box stays until it is answered.
    Programs(record, dir / "no-such-dravik");
    const int pid = SpawnMenu({PARVEX_MENU, selection[0]});
    ChooseTheEntry();
    testsupport::Pump(1500);
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the program ended without a word";
    wxUIActionSimulator().Char(WXK_RETURN);
    if (!testsupport::PumpUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 5000)) {
        ::kill(pid, SIGKILL);
        FAIL() << "the message box did not close with Return";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
}

}  // namespace
