// The provider manager as a user meets it, with the real store, the real settings library and the real registration
// tool: the first run, the tree and the list, the provider commands, and the code conversion tool.
#include "common/registry/layout.h"
#include "common/ui/help.h"
#include "common/ui/image_button.h"
#include "common/ui/outbar.h"
#include "manager/about.h"
#include "manager/code_convert.h"
#include "manager/con_info.h"
#include "manager/main_frame.h"
#include "manager/provider_view.h"
#include "manager/resources.h"
#include "platform/os/os.h"
#include "settings/passwords.h"
#include "tesvar/tesvar.h"
#include "tests/support/gtk_dialogs.h"
#include "tests/support/gui_support.h"
#include "tests/support/keyring_service.h"
#include "tests/support/store_probe.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <wx/dialog.h>
#include <wx/menu.h>
#include <wx/radiobut.h>
#include <wx/control.h>
#include <wx/dcclient.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/wizard.h>

#include <sys/stat.h>

#include <functional>

namespace {

using testsupport::Driver;
using testsupport::Gtk;
using testsupport::Press;
using testsupport::Pump;
using testsupport::PumpUntil;
using testsupport::U;
using testsupport::U8;
using namespace morvane;

wxWizard* ShownWizard() { return testsupport::ShownWindow<wxWizard>(); }

void CollectEdits(wxWindow* w, std::vector<wxTextCtrl*>& out) {
    for (wxWindow* child : w->GetChildren()) {
        if (auto* edit = dynamic_cast<wxTextCtrl*>(child); edit && edit->IsShown() && edit->IsEditable())
            out.push_back(edit);
        CollectEdits(child, out);
    }
}

// A wizard step that fills the empty fields of each page in turn with the
// texts given for it (the last repeated) and presses Next, then Finish.
std::function<bool()> FillWizard(std::vector<std::vector<const char*>> pages) {
    return [pages, page = size_t(0)]() mutable {
        wxWizard* wiz = ShownWizard();
        if (!wiz || !wiz->GetCurrentPage()) return false;
        if (page < pages.size()) {
            std::vector<wxTextCtrl*> edits;
            CollectEdits(wiz->GetCurrentPage(), edits);
            size_t k = 0;
            for (wxTextCtrl* e : edits)
                if (e->IsEmpty() && !pages[page].empty())
                    e->SetValue(U(pages[page][std::min(k++, pages[page].size() - 1)]));
        }
        wxWindow* next = wiz->FindWindow(wxID_FORWARD);
        if (!next || !next->IsEnabled()) return false;
        const bool last = wiz->GetCurrentPage()->GetNext() == nullptr;
        Press(next);
        ++page;
        return last;
    };
}

std::function<bool()> CancelWizard() {
    return [] {
        wxWizard* wiz = ShownWizard();
        if (!wiz) return false;
        Press(wiz->FindWindow(wxID_CANCEL));
        return true;
    };
}

constexpr int kYes = Gtk::kYes, kNo = Gtk::kNo;

// Answers the message boxes titled "Lumeno" that come, in turn, with the responses given; keeps their texts.
std::function<bool()> AnswerBoxes(std::vector<int> responses, std::vector<std::string>* texts) {
    return [responses, texts, next = size_t(0)]() mutable {
        const Gtk::Box box = Gtk().AnswerMessageBox("Lumeno", responses[next]);
        if (box.text.empty()) return false;
        texts->push_back(box.primary);
        return ++next == responses.size();
    };
}

using testsupport::ReadOnlyStore;

void Put(const std::string& provider, const std::string& entry,
         std::initializer_list<std::pair<const char*, testsupport::StoreValue>> values) {
    testsupport::Put(layout::EntryKey(provider, entry), values);
}

// A folder holding a regsvr32 that runs and fails.
void FailingTool(const testsupport::TempDir& dir) {
    testsupport::WriteFile(dir / "regsvr32", "#!/bin/sh\nexit 5\n");
    ::chmod((dir / "regsvr32").c_str(), 0755);
}

std::string Documents() {
    char buffer[260] = "";
    GetSpecialFolder(5, buffer);
    return buffer;
}

struct Manager : testing::Test {
    testsupport::ScopedStore store;
    CMainFrame* frame = nullptr;
    std::vector<wxString> opened;

    static void SetUpTestSuite() {
        RegisterResources();
        // Never the desktop's own keyring: a test that wants one starts its own.
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        ::unsetenv("XDG_RUNTIME_DIR");
    }
    void TearDown() override { Close(); }
    void Open(const std::string& installDir = std::string()) {
        frame = new CMainFrame(installDir);
        frame->openWithDesktop = [this](const wxString& t) {
            opened.push_back(t);
            return true;
        };
        frame->Show();
        ASSERT_TRUE(PumpUntil([this] { return frame->IsShownOnScreen(); }, 3000));
        // The start's password check reads the store on a thread of its own: done before a test changes the store.
        ASSERT_TRUE(PumpUntil([this] { return frame->PasswordMoveDone(); }, 20000));
        Pump(100);
    }
    // Opens on a store that has Software\PARVEX already: no first run.
    void OpenExisting() {
        testsupport::Put(layout::kSoftwareParvex, {});
        Open();
    }
    void Close() {
        if (frame) frame->Destroy();
        frame = nullptr;
        Pump(50);
    }
    // Runs the event loop while `driver` answers what appears, until it is done.
    static bool Drive(Driver& driver, int ms = 8000) { return PumpUntil([&] { return driver.done; }, ms); }

    wxTreeItemId Find(const wxTreeItemId& parent, const char* text) {
        wxTreeItemIdValue cookie;
        for (auto c = frame->Tree()->GetFirstChild(parent, cookie); c.IsOk();
             c = frame->Tree()->GetNextChild(parent, cookie))
            if (frame->Tree()->GetItemText(c) == U(text)) return c;
        return wxTreeItemId();
    }
    wxTreeItemId Item(const char* provider, const char* entry = nullptr) {
        wxTreeItemId p = Find(frame->Tree()->GetRootItem(), provider);
        return entry && p.IsOk() ? Find(p, entry) : p;
    }
    // A click on the middle of an item's label, as the mouse gives it.
    void Click(const wxTreeItemId& item) {
        ASSERT_TRUE(item.IsOk());
        wxRect r;
        ASSERT_TRUE(frame->Tree()->GetBoundingRect(item, r, true));
        EXPECT_TRUE(frame->Tree()->ClickAt(r.GetPosition() + wxPoint(r.width / 2, r.height / 2)));
        Pump(50);
    }
    std::string Label() const { return U8(frame->LabelText()->GetLabelText()); }
    bool Enabled(int id) {
        frame->UpdateWindowUI();
        return frame->GetMenuBar()->FindItem(id)->IsEnabled();
    }
    // Deletes what is chosen through the provider command (`code` as the command bar or the menu sends it), answering
    // the boxes that come, in turn, with `responses`; returns their texts.
    std::vector<std::string> DeleteAnswering(std::vector<int> responses, int code = 0) {
        std::vector<std::string> texts;
        Driver driver(AnswerBoxes(std::move(responses), &texts));
        frame->ProviderCommand(code, 2);
        EXPECT_TRUE(driver.done) << "the boxes did not come: " << texts.size();
        return texts;
    }
    std::vector<std::string> Row(int row) {
        std::vector<std::string> cells;
        for (int c = 0; c < 5; ++c) cells.push_back(U8(frame->List()->GetItemText(row, c)));
        return cells;
    }
};

TEST_F(Manager, FirstRunWithTheWizardFinishedSetsEverythingUpAndTheNextStartNothing) {
    Driver wizard(FillWizard({{"テスト"}, {"127.0.0.1"}, {"taro", "secret"}, {"/pub", "公開"}, {}, {}}));
    Open();
    ASSERT_TRUE(Drive(wizard)) << "the wizard did not come or could not be finished";
    ASSERT_TRUE(PumpUntil([] { return testsupport::KeyExists(layout::kOptionKey); }));
    EXPECT_TRUE(testsupport::KeyExists(layout::EntryKey("テスト", "/pub")));
    EXPECT_TRUE(Item("テスト").IsOk() && frame->Tree()->ItemHasChildren(Item("テスト"))) << "the tree is rebuilt";

    // regsvr32 really ran on the built module.
    winreg::HKEY handler = nullptr;
    EXPECT_EQ(winreg::RegOpenKeyEx(winreg::HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\parvex", 0,
                                   winreg::KEY_READ, &handler),
              winreg::ERROR_SUCCESS);
    if (handler) winreg::RegCloseKey(handler);
    // The wizard's password stays in the file on a desktop without a keyring, and the status bar says so.
    EXPECT_EQ(U8(frame->StatusText()), settings::kPasswordsInFile);

    const std::string bin = os::ExecutableDirectory();
    EXPECT_EQ(testsupport::StoredString(layout::RunningKey(), layout::kInstDir), bin + "/dravik");
    EXPECT_EQ(testsupport::StoredString(layout::RunningKey(), layout::kInstDirBrovin), bin + "/brovin");
    EXPECT_EQ(testsupport::StoredString(layout::kOptionKey, layout::kTextMode), ".htm;.html;.txt;.cgi;.csv;");
    EXPECT_EQ(testsupport::StoredString(layout::kOptionKey, layout::kBinaryMode), ".lzh;.zip;.exe;");
    EXPECT_EQ(testsupport::StoredString(layout::kOptionKey, layout::kDownloadFolder), Documents());
    for (const char* name : {layout::kCodeConvert, layout::kUploadConvert, layout::kDownloadConvert,
                             layout::kUploadConvCode, layout::kDownloadConvCode})
        EXPECT_EQ(testsupport::StoredDword(layout::kOptionKey, name), 0u) << name;
    Close();

    // Written to the file for every other program, though regsvr32 closed a connection while the library's was open.
    const std::string listed = testsupport::RunProgram({bin + "/reg", "query", "HKCU\\Software\\PARVEX", "/s"}).out;
    EXPECT_NE(listed.find("InstDirBrovin"), std::string::npos) << listed;
    EXPECT_NE(listed.find("DownloadFolder"), std::string::npos) << listed;

    // A later start repeats nothing: no wizard, no option rewritten.
    testsupport::Put(layout::kOptionKey, {{layout::kTextMode, ".txt;"}});
    Open();
    Pump(500);
    EXPECT_EQ(ShownWizard(), nullptr);
    EXPECT_EQ(testsupport::StoredString(layout::kOptionKey, layout::kTextMode), ".txt;");
    EXPECT_EQ(Label(), "プロバイダ名 - Parvex ROOT");
    EXPECT_EQ(frame->List()->CurrentProvider(), "テスト") << "the list starts on the first entry";
}

TEST_F(Manager, FirstRunWithTheWizardCancelledStillWritesAndSaysWhenRegistrationFailed) {
    testsupport::TempDir failing;
    FailingTool(failing);
    testsupport::TempDir spaced;
    const std::string withBlank = spaced / "my tools";
    ::mkdir(withBlank.c_str(), 0700);
    const struct {
        std::string dir;
        std::string instDir;  // as recorded: one word of a command line
    } rows[] = {
        {failing.path(), failing / "dravik"},      // the tool runs and fails
        {withBlank, "\"" + withBlank + "/dravik\""},  // the tool is missing
    };
    for (const auto& r : rows) {
        testsupport::ScopedStore fresh;
        Driver wizard(CancelWizard());
        Open(r.dir);
        ASSERT_TRUE(Drive(wizard));
        ASSERT_TRUE(PumpUntil([] { return testsupport::KeyExists(layout::kOptionKey); })) << r.dir;
        EXPECT_FALSE(testsupport::KeyExists(layout::kProviderKey));
        EXPECT_EQ(testsupport::StoredString(layout::RunningKey(), layout::kInstDir), r.instDir);
        EXPECT_EQ(testsupport::StoredString(layout::kOptionKey, layout::kTextMode), ".htm;.html;.txt;.cgi;.csv;");
        const std::string status = U8(frame->StatusText());
        for (const char* part : {"登録できませんでした", "regsvr32", " parvex.so"})
            EXPECT_NE(status.find(part), std::string::npos) << part << " in " << status;
        Close();
    }
}

TEST_F(Manager, FirstRunOnAStoreThatRefusesWritesSaysWhatWasNotWritten) {
    testsupport::TempDir failing;
    FailingTool(failing);
    // A store file that holds something else but not Software\PARVEX: a first run.
    testsupport::Put("Software\\Elsewhere", {});
    {
        ReadOnlyStore readOnly;
        Driver wizard(CancelWizard());
        Open(failing.path());
        ASSERT_TRUE(Drive(wizard));
        ASSERT_TRUE(PumpUntil([this] { return frame->StatusText().StartsWith(U("初期設定を保存できませんでした(")); }))
            << U8(frame->StatusText());
        const std::string status = U8(frame->StatusText());
        // What was not written, where, why, and the registration's failure too.
        for (const std::string& part : {store.file(), std::string("RUNNING"), std::string("Option"),
                                        std::string("エラーコード 5"), std::string("登録できませんでした")})
            EXPECT_NE(status.find(part), std::string::npos) << part << " in " << status;
        Close();
    }
    EXPECT_FALSE(testsupport::KeyExists(layout::RunningKey()));
    EXPECT_FALSE(testsupport::KeyExists(layout::kOptionKey));
}

TEST_F(Manager, AnUnusableStoreIsNamedAndNeverTakenForAFirstRun) {
    testsupport::WriteFile(store.file(), std::string(4096, 'x'));  // not a store at all
    Open();
    Pump(500);
    EXPECT_EQ(ShownWizard(), nullptr);
    const std::string status = U8(frame->StatusText());
    EXPECT_NE(status.find(store.file()), std::string::npos) << status;
    EXPECT_EQ(testsupport::ReadFile(store.file()), std::string(4096, 'x')) << "the file is left as it was";
}

struct Providers : Manager {
    void SetUp() override {
        // Software\PARVEX exists: no first run.
        Put("社内", "/www", {{"MenuName", "ホーム"}, {"ServerAddr", "ftp.example.jp"}, {"UserName", "taro"},
                             {"Root", "/www"}, {"Anonymous", 0u}, {"Port", 21u}});
        Put("社内", "/xyz", {{"ServerAddr", "mirror.example.jp"}});  // after /www: no menu name, no numbers
        Put("社内", "拡張子別転送", {{"MenuName", "拡張子別転送"}, {"ServerAddr", "hidden"}});
        Put("空", "拡張子別転送", {{"MenuName", "拡張子別転送"}});
        Put("同名", "/a", {{"MenuName", "同じ"}, {"ServerAddr", "a"}, {"Anonymous", 7u}, {"Port", 2121u}});
        Put("同名", "/b", {{"MenuName", "同じ"}, {"ServerAddr", "b"}});
        Open();
    }
};

TEST_F(Providers, TreeAndListShowTheStoreAndClicksFollowTheirRules) {
    CProvider* tree = frame->Tree();
    EXPECT_EQ(U8(tree->GetItemText(tree->GetRootItem())), "設定プロバイダ一覧");
    EXPECT_TRUE(Item("社内", "ホーム").IsOk());
    EXPECT_TRUE(Item("社内", "/xyz").IsOk()) << "an entry without a menu name shows its key name";
    EXPECT_FALSE(Item("社内", "拡張子別転送").IsOk());
    EXPECT_FALSE(tree->ItemHasChildren(Item("空")));

    // The list starts on the first provider (sorted: 同名 first).
    EXPECT_EQ(frame->List()->CurrentProvider(), "同名");
    Click(Item("社内", "ホーム"));
    EXPECT_EQ(Label(), "プロバイダ名 - 社内 - ホーム");
    ASSERT_EQ(frame->List()->GetItemCount(), 2);
    EXPECT_EQ(Row(0), (std::vector<std::string>{"ftp.example.jp", "taro", "/www", "しない", "21"}));
    EXPECT_EQ(Row(1), (std::vector<std::string>{"mirror.example.jp", "", "", "", ""}))
        << "missing values are empty cells, not the previous row's";
    EXPECT_EQ(frame->List()->CurrentEntry(), "/www");
    ASSERT_TRUE(PumpUntil([this] { return frame->List()->GetFirstSelected() == 0; })) << "the entry's row";
    Click(Item("社内", "/xyz"));
    EXPECT_EQ(frame->List()->CurrentEntry(), "/xyz");
    ASSERT_TRUE(PumpUntil([this] { return frame->List()->GetFirstSelected() == 1; })) << "the entry's row";

    // A provider with entries: first label form, the current entry kept.
    Click(Item("社内"));
    EXPECT_EQ(Label(), "プロバイダ名 - 社内");
    EXPECT_EQ(frame->List()->CurrentEntry(), "/xyz");

    // A provider holding only the per-extension entry.
    Click(Item("空"));
    EXPECT_EQ(Label(), "プロバイダ名 - 設定プロバイダ一覧 - 空");
    EXPECT_EQ(frame->List()->GetItemCount(), 0);

    // A shared menu name selects the earlier entry.
    Click(frame->Tree()->GetLastChild(Item("同名")));
    EXPECT_EQ(frame->List()->CurrentEntry(), "/a");
    EXPECT_EQ(Row(0)[3], "する");
    EXPECT_EQ(Row(0)[4], "2121");

    // Keyboard moves and clicks beside a label change nothing.
    tree->SelectItem(Item("社内", "ホーム"));
    EXPECT_FALSE(tree->ClickAt(wxPoint(tree->GetClientSize().x - 2, tree->GetClientSize().y - 2)));
    EXPECT_EQ(Label(), "プロバイダ名 - 同名 - 同じ");

    // An empty menu name shows the key, and the entry can be chosen.
    Put("無名", "/noname", {{"MenuName", ""}, {"ServerAddr", "n.example.jp"}});
    tree->Rebuild();
    Click(Item("無名", "/noname"));
    EXPECT_EQ(frame->List()->CurrentEntry(), "/noname");
    EXPECT_TRUE(Enabled(ID_PROVIDER_PROPERTIES));
}

TEST_F(Providers, DeleteAsksInJapaneseSaysWhenTheStoreRefusesAndRemovesOnlyThatEntry) {
    Click(Item("社内", "ホーム"));
    ASSERT_TRUE(Enabled(ID_PROVIDER_DELETE));
    Gtk::Box asked;
    {
        Driver no([&] { return !(asked = Gtk().AnswerMessageBox("Lumeno", kNo)).text.empty(); });
        frame->ProviderCommand(0, 2);
        ASSERT_TRUE(no.done);
    }
    EXPECT_EQ(asked.primary, "社内の/wwwを削除します。よろしいですか？");
    EXPECT_EQ(asked.yesNo, (std::vector<std::string>{"はい(_Y)", "いいえ(_N)"}));
    EXPECT_TRUE(testsupport::KeyExists(layout::EntryKey("社内", "/www")));
    EXPECT_EQ(frame->List()->CurrentEntry(), "/www");
    {
        ReadOnlyStore readOnly;
        const auto said = DeleteAnswering({kYes, Gtk::kOk});
        ASSERT_EQ(said.size(), 2u) << "no message after the refused delete";
        EXPECT_EQ(said[1], "設定を保存できませんでした(エラーコード : 5)。");
        EXPECT_TRUE(Item("社内", "ホーム").IsOk());
        EXPECT_EQ(frame->List()->CurrentEntry(), "/www") << "the entry stays chosen, as it stays in the store";
    }
    EXPECT_TRUE(testsupport::KeyExists(layout::EntryKey("社内", "/www")));

    DeleteAnswering({kYes});
    EXPECT_FALSE(testsupport::KeyExists(layout::EntryKey("社内", "/www")));
    EXPECT_TRUE(testsupport::KeyExists(layout::EntryKey("社内", "/xyz")));
    EXPECT_TRUE(testsupport::KeyExists(layout::EntryKey("社内", "拡張子別転送")));
    EXPECT_FALSE(Item("社内", "ホーム").IsOk());
    EXPECT_FALSE(Enabled(ID_PROVIDER_DELETE));
    EXPECT_FALSE(Enabled(ID_PROVIDER_PROPERTIES));
    // The command bar's delete does nothing now: no question comes.
    frame->ProviderCommand(COutBarEvent::kItemClicked, 2);
    EXPECT_TRUE(testsupport::KeyExists(layout::EntryKey("社内", "/xyz")));
}

TEST_F(Providers, AProviderItemDeletesTheWholeProviderWithItsRules) {
    testsupport::Put(layout::AutoTransferRuleKey("社内", "html"), {{layout::kAutoTransferExt, ".htm;"}});
    testsupport::Put(layout::AutoTransferRuleKey("同名", "img"), {});

    // An entry chosen, then its provider's own item: delete now means the provider.
    Click(Item("同名", "同じ"));
    Click(Item("社内"));
    ASSERT_TRUE(Enabled(ID_PROVIDER_DELETE));
    const auto said = DeleteAnswering({kNo}, COutBarEvent::kItemClicked);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].rfind("社内を削除します。", 0), 0u) << said[0];
    EXPECT_TRUE(testsupport::KeyExists(layout::ProviderKey("社内")));
    DeleteAnswering({kYes}, COutBarEvent::kItemClicked);
    EXPECT_FALSE(testsupport::KeyExists(layout::ProviderKey("社内")));
    EXPECT_FALSE(testsupport::KeyExists(layout::AutoTransferKey("社内")));
    EXPECT_FALSE(Item("社内").IsOk());
    EXPECT_TRUE(testsupport::KeyExists(layout::EntryKey("同名", "/a"))) << "the entry chosen before is not touched";
    EXPECT_TRUE(testsupport::KeyExists(layout::AutoTransferRuleKey("同名", "img")));
    EXPECT_EQ(Label(), "プロバイダ名 - Parvex ROOT");
    EXPECT_FALSE(Enabled(ID_PROVIDER_DELETE));

    // A provider left with only its per-extension entry goes the same way.
    Click(Item("空"));
    ASSERT_TRUE(Enabled(ID_PROVIDER_DELETE));
    EXPECT_FALSE(Enabled(ID_PROVIDER_PROPERTIES));
    DeleteAnswering({kYes});
    EXPECT_FALSE(testsupport::KeyExists(layout::ProviderKey("空")));
    EXPECT_FALSE(Item("空").IsOk());
    EXPECT_EQ(testsupport::StoredChildren(layout::kProviderKey), std::vector<std::string>{"同名"});
}

TEST_F(Providers, PropertiesCancelledLeavesTheCommandsGreyUntilTheNextClick) {
    Click(Item("社内", "ホーム"));
    ASSERT_TRUE(Enabled(ID_PROVIDER_PROPERTIES));
    std::vector<std::string> titles;
    testsupport::AnswerDialogs cancel([&](wxDialog* sheet) {
        titles.push_back(U8(sheet->GetTitle()));
        return static_cast<int>(wxID_CANCEL);
    });
    frame->ProviderCommand(0, 1);
    EXPECT_EQ(titles, std::vector<std::string>{"社内(/www)のプロパティ"});
    EXPECT_FALSE(Enabled(ID_PROVIDER_PROPERTIES));
    EXPECT_FALSE(Enabled(ID_PROVIDER_DELETE));
    Click(Item("社内", "ホーム"));
    EXPECT_TRUE(Enabled(ID_PROVIDER_PROPERTIES));
}

TEST_F(Providers, ADefinitionFileReadThroughTheMenuRebuildsTheTree) {
    testsupport::TempDir dir;
    const std::string file = dir / "servers.ini";
    testsupport::WriteFile(file, "[PROFILE]\r\nPROFILE=1\r\nPROFILE1=取込先\r\nSERVERADDR1=ftp.example.jp\r\n"
                                 "USERNAME1=hanako\r\nUSERPWD1=x\r\nMOVEDIR1=/www\r\nVIEWMOVEDIR1=ウェブ\r\nPORT1=21\r\n");
    const Gtk gtk;
    ASSERT_TRUE(gtk.Complete());
    bool chosen = false;
    Driver answer([&] {
        if (!chosen) {
            chosen = gtk.ChooseFile(file);
            return false;
        }
        return !gtk.AnswerMessageBox(nullptr).text.empty();
    });
    wxCommandEvent read(wxEVT_MENU, ID_READ_DEFINES);
    frame->ProcessWindowEvent(read);
    ASSERT_TRUE(answer.done);
    EXPECT_TRUE(Item("取込先", "ウェブ").IsOk());
    EXPECT_TRUE(Item("社内", "ホーム").IsOk());
}

TEST_F(Manager, WithoutProvidersOnlyTheRootShowsAndTheFrameKeepsItsSize) {
    OpenExisting();
    EXPECT_EQ(frame->Tree()->GetCount(), 1u);
    EXPECT_EQ(frame->List()->GetItemCount(), 0);
    EXPECT_FALSE(Enabled(ID_PROVIDER_PROPERTIES));
    EXPECT_FALSE(Enabled(ID_PROVIDER_DELETE));
    EXPECT_TRUE(Enabled(ID_OPTION));
    // Wider only as far as the list's columns need, never taller.
    const wxSize size = frame->GetSize();
    EXPECT_EQ(size.y, CMainFrame::FixedSize().y);
    EXPECT_GE(size.x, CMainFrame::FixedSize().x);
    EXPECT_LE(size.x, 1024);
    frame->SetSize(wxSize(900, 700));
    Pump(100);
    EXPECT_EQ(frame->GetSize(), size);
    // Every column heading shows whole: the header keeps 5 pixels either side and shortens what does not fit.
    CConInfo* list = frame->List();
    ASSERT_EQ(list->GetColumnCount(), 5);
    wxClientDC dc(list);
    dc.SetFont(list->GetFont());
    for (int col = 0; col < 5; ++col) {
        const wxString heading = list->GetColumnHeading(col);
        EXPECT_EQ(wxControl::Ellipsize(heading, dc, wxELLIPSIZE_END, list->GetColumnWidth(col) - 2 * 5), heading)
            << U8(heading) << " in " << list->GetColumnWidth(col) << " pixels";
    }
    // ... and the window is wide enough to show every column.
    const int last = list->GetColumnCount() - 1;
    int columns = 0;
    for (int col = 0; col <= last; ++col) columns += list->GetColumnWidth(col);
    EXPECT_LE(columns, list->GetClientSize().x) << "columns end " << columns << " in a list " << list->GetClientSize().x;
}

struct Converter : Manager {
    testsupport::TempDir dir;
    CCodeConvertDlg* dlg = nullptr;
    void SetUp() override {
        OpenExisting();
        dlg = new CCodeConvertDlg(frame, frame->Conversions());
        dlg->Show();
        PumpUntil([this] { return dlg->IsShownOnScreen(); }, 3000);
    }
    void TearDown() override {
        if (dlg) dlg->Destroy();
        Manager::TearDown();
    }
    // Types the source and destination and chooses the code `radio` (0: leaves it).
    void Fill(const std::string& source, const std::string& destination, int radio = 0) {
        dlg->SourceEdit()->SetValue(U(source));
        dlg->DestinationEdit()->SetValue(U(destination));
        if (radio) dlg->CodeRadio(radio)->SetValue(true);
    }
    // Starts the conversion and answers the box that comes with `response`; returns its text.
    std::string StartAnswering(int response) {
        std::vector<std::string> texts;
        Driver answer(AnswerBoxes({response}, &texts));
        dlg->StartConversion();
        EXPECT_TRUE(answer.done) << "no box came";
        return texts.empty() ? "" : texts[0];
    }
    bool Converted() {
        return PumpUntil([&] { return frame->Conversions().Running() == 0; }, 10000);
    }
};

const std::string kText = "日本語\n";
const std::string kSjis = "\x93\xfa\x96\x7b\x8c\xea\n";
const std::string kEuc = "\xc6\xfc\xcb\xdc\xb8\xec\n";
const std::string kJis = "\x1b$BF|K\\8l\x1b(B\n";

TEST_F(Converter, StartIsUsableOnceADestinationComesLastAndSameNamesAreRefused) {
    EXPECT_TRUE(dlg->CodeRadio(IDC_SJIS)->GetValue());
    EXPECT_FALSE(dlg->StartButton()->IsEnabled());
    dlg->SourceEdit()->SetValue("/tmp/a.txt");
    dlg->DestinationEdit()->SetValue("/tmp/a.txt");
    EXPECT_TRUE(dlg->StartButton()->IsEnabled());
    EXPECT_EQ(StartAnswering(Gtk::kOk), "同名ファイルです。変換後のファイル名を変更してください。");
    EXPECT_EQ(frame->Conversions().Running(), 0);
    dlg->SourceEdit()->SetValue("/tmp/A.TXT");
    EXPECT_FALSE(dlg->StartButton()->IsEnabled()) << "a new source disables start";
    dlg->DestinationEdit()->SetValue("");
    EXPECT_FALSE(dlg->StartButton()->IsEnabled());
}

TEST_F(Converter, EachCodeGivesItsBytesAndQuickStartsEachKeepTheirOwnNames) {
    const std::string source = dir / "元.txt";
    testsupport::WriteFile(source, kText);
    const struct {
        int radio;
        const char* out;
        const std::string& bytes;
    } rows[] = {{IDC_EUC, "euc.txt", kEuc}, {IDC_JIS, "jis.txt", kJis}, {IDC_SJIS, "sjis.txt", kSjis}};
    // Started one after the other without waiting: every worker keeps what it was given.
    for (const auto& r : rows) {
        Fill(source, dir / r.out, r.radio);
        dlg->StartConversion();
    }
    ASSERT_TRUE(Converted());
    for (const auto& r : rows) EXPECT_EQ(testsupport::ReadFile(dir / r.out), r.bytes) << r.out;
    EXPECT_TRUE(PumpUntil([this] { return dlg->InfoText().Contains(U("変換しました")); }));

    // A file that is not text: reported, and nothing is written.
    testsupport::WriteFile(dir / "bin", std::string("\x00\x01\x02", 3));
    Fill(dir / "bin", dir / "out.txt");
    dlg->StartConversion();
    ASSERT_TRUE(Converted());
    EXPECT_TRUE(PumpUntil([this] { return dlg->InfoText().Contains(U("変換できませんでした")); }));
    EXPECT_FALSE(os::Exists(dir / "out.txt"));
}

TEST_F(Converter, ATypedExistingDestinationIsReplacedOnlyWhenTheUserSaysSo) {
    const std::string source = dir / "in.txt", existing = dir / "keep.txt";
    testsupport::WriteFile(source, kText);
    testsupport::WriteFile(existing, "mine\n");
    Fill(source, existing, IDC_EUC);
    const std::string asked = StartAnswering(kNo);
    EXPECT_NE(asked.find("上書きしますか"), std::string::npos) << asked;
    Pump(200);
    EXPECT_EQ(testsupport::ReadFile(existing), "mine\n");
    StartAnswering(kYes);
    ASSERT_TRUE(Converted());
    EXPECT_EQ(testsupport::ReadFile(existing), kEuc);
}

TEST_F(Converter, ClosingTheDialogWhileConvertingLosesNothing) {
    const std::string source = dir / "big.txt";
    std::string big;
    for (int i = 0; i < 200000; ++i) big += kText;
    testsupport::WriteFile(source, big);
    Fill(source, dir / "big-euc.txt", IDC_EUC);
    dlg->StartConversion();
    dlg->Destroy();  // closed at once; the worker runs on with its own copies
    dlg = nullptr;
    ASSERT_TRUE(Converted());
    const std::string out = testsupport::ReadFile(dir / "big-euc.txt");
    EXPECT_EQ(out.size(), big.size() / kText.size() * kEuc.size());
}

// The help page and the about box's links go to the desktop; a link shows itself opened only when the desktop took it.
TEST_F(Manager, HelpAndTheAboutBoxLinksOpenThroughTheDesktop) {
    OpenExisting();
    wxCommandEvent help(wxEVT_MENU, ID_HELP_INDEX);
    frame->ProcessWindowEvent(help);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(U8(opened[0]), ui::HelpPath());

    bool works = true;
    CAboutDlg about(frame, [&](const wxString& t) {
        opened.push_back(t);
        return works;
    });
    about.MailLink()->Open();
    EXPECT_TRUE(about.MailLink()->Visited());
    works = false;  // no handler at all: a beep, and the link stays unopened
    about.HomeLink()->Open();
    EXPECT_FALSE(about.HomeLink()->Visited());
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_TRUE(opened[1].StartsWith("mailto:"));
    EXPECT_TRUE(opened[2].StartsWith("https://"));
}

// Passwords an older version left in the file move into a real keyring at the start, and the user is told;
// deleting an entry or a provider takes its keyring items along and nothing of another's.
TEST_F(Manager, PasswordsMoveIntoTheKeyringAtTheStartAndGoWithTheirEntries) {
    auto entry = [](const char* provider, const char* key, const char* password) {
        Put(provider, key, {{"MenuName", key}, {"ServerAddr", "ftp.example.jp"}, {"UserName", "taro"},
                            {"Password", password}});
    };
    entry("社内", "/www", "pw-www");
    entry("社内", "拡張子別転送", "pw-www");
    entry("社内", "/pub", "pw-pub");
    entry("別", "/b", "pw-b");
    auto inKeyring = [](const char* provider, const char* key) {
        std::string password;
        const keyring::Status st =
            keyring::Lookup({provider, key, "ftp.example.jp", "taro"}, password, std::chrono::seconds(10));
        return st == keyring::Status::Ok ? password : keyring::StatusName(st);
    };
    testsupport::KeyringService service;
    ASSERT_TRUE(service.Start(true));
    Open();  // the providers make Software\PARVEX: no first run
    EXPECT_TRUE(PumpUntil([this] {
        return U8(frame->StatusText()) == "4 件のパスワードを設定ファイルからキーリングに移しました。";
    })) << U8(frame->StatusText());
    testsupport::Screenshot("PARVEX_MORVANE_SCREENSHOTS", frame, "morvane-moved.png");
    for (const char* key : {"/www", "拡張子別転送", "/pub"}) {
        EXPECT_EQ(testsupport::StoredString(layout::EntryKey("社内", key), "Password"), "") << key;
        EXPECT_EQ(testsupport::StoredDword(layout::EntryKey("社内", key), "PasswordInKeyring"), 1u) << key;
    }
    EXPECT_EQ(inKeyring("社内", "/www"), "pw-www");

    Click(Item("社内", "/www"));
    DeleteAnswering({kYes});
    EXPECT_EQ(inKeyring("社内", "/www"), "not found");
    EXPECT_EQ(inKeyring("社内", "/pub"), "pw-pub");
    Click(Item("社内"));
    DeleteAnswering({kYes});
    EXPECT_EQ(inKeyring("社内", "/pub"), "not found");
    EXPECT_EQ(inKeyring("社内", "拡張子別転送"), "not found");
    EXPECT_EQ(inKeyring("別", "/b"), "pw-b");
    EXPECT_EQ(U8(frame->StatusText()), "4 件のパスワードを設定ファイルからキーリングに移しました。")
        << "a deletion the keyring confirmed says nothing";
}

// With PARVEX_MORVANE_SCREENSHOTS set to a folder: the main window and the conversion tool.
TEST_F(Manager, Screenshots) {
    if (!std::getenv("PARVEX_MORVANE_SCREENSHOTS")) GTEST_SKIP() << "set PARVEX_MORVANE_SCREENSHOTS to a folder";
    auto entry = [](const char* provider, const char* key, const char* menu, const char* server, const char* user,
                    winreg::DWORD anonymous, winreg::DWORD port) {
        Put(provider, key, {{"MenuName", menu}, {"ServerAddr", server}, {"UserName", user}, {"Root", key},
                            {"Anonymous", anonymous}, {"Port", port}});
        Put(provider, "拡張子別転送", {{"MenuName", "拡張子別転送"}});
    };
    entry("社内サーバ", "/public_html", "ホームページ", "ftp.example.co.jp", "taro", 0, 21);
    entry("社内サーバ", "/pub/資料", "資料置き場（共有）", "ftp.example.co.jp", "taro", 0, 2121);
    entry("ミラー", "/pub", "公開ディレクトリ", "mirror.example.jp", "anonymous", 1, 21);
    Open();
    auto shot = [](wxWindow* w, const char* name) { testsupport::Screenshot("PARVEX_MORVANE_SCREENSHOTS", w, name); };
    frame->Tree()->SelectItem(Item("社内サーバ", "ホームページ"));
    Click(Item("社内サーバ", "ホームページ"));
    shot(frame, "morvane.png");

    CCodeConvertDlg dlg(frame, frame->Conversions());
    dlg.Show();
    dlg.SourceEdit()->SetValue("/home/taro/public_html/index.html");
    dlg.DestinationEdit()->SetValue("/home/taro/public_html/index-euc.html");
    dlg.CodeRadio(IDC_EUC)->SetValue(true);
    shot(&dlg, "morvane-convert.png");
}

}  // namespace
