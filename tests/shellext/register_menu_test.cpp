// The context-menu handler and the COM server, through the module's entry points and a real settings store: the menu
// a right-click shows, the hand-off a click writes, the program it starts, and self-registration.
#include "tests/shellext/module_host.h"
#include "tests/support/store_probe.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <sqlite3.h>

using namespace shelltest;

namespace {

using Strings = std::vector<std::string>;
const std::string kAuto = "拡張子別転送";

class Menu : public SuiteStore {
protected:
    testsupport::TempDir dir;
    std::string record = dir / "started";
};

TEST_F(Menu, ProvidersAndEntriesInEnumerationOrderWithMenuIds) {
    Entry("A", "e1", "ホームページ");
    Entry("A", "e2", "CGI");
    Provider("B");
    Handler h({"/tmp/x"});
    com::HRESULT hr = 0;
    com::Menu menu = h.Build(100, &hr);
    EXPECT_EQ(Dump(menu), (Strings{"-", "Parvex >", "  A >", "    拡張子別転送 #100", "    -", "    ホームページ #101",
                                   "    CGI #102", "  B >", "    拡張子別転送 #103", "    -", "-"}));
    EXPECT_EQ(com::HRESULT_CODE(hr), 5u) << "ids used plus one";
    EXPECT_TRUE(com::SUCCEEDED(hr));
    EXPECT_EQ(MenuId("A", kAuto), 0u);
    EXPECT_EQ(MenuId("A", "e1"), 1u);
    EXPECT_EQ(MenuId("A", "e2"), 2u);
    EXPECT_EQ(MenuId("B", kAuto), 3u) << "the per-extension key is created where missing";

    // Inserted at the position given, around what the file manager already has.
    com::Menu host;
    host.AppendCommand(1, "Open");
    host.AppendCommand(2, "Copy");
    h->QueryContextMenu(&host, 1, 10, 0x7FFF, com::CMF_NORMAL);
    Strings top;
    for (const auto& line : Dump(host))
        if (line.rfind("  ", 0) != 0) top.push_back(line);
    EXPECT_EQ(top, (Strings{"Open #1", "-", "Parvex >", "-", "Copy #2"}));
}

TEST_F(Menu, NoProvidersGiveAnEmptyParvexPopupAndAMissingMenuNameShowsTheEntry) {
    com::HRESULT hr = 0;
    Handler none({}, &hr);
    EXPECT_EQ(hr, com::E_FAIL) << "a selection without paths";
    Handler empty({"/tmp/x"});
    EXPECT_EQ(Dump(empty.Build(1, &hr)), (Strings{"-", "Parvex >", "-"}));
    EXPECT_EQ(com::HRESULT_CODE(hr), 1u);

    Entry("A", "/www", "");
    Entry("A", "cgi", "CGI");
    Entry("A", "/pub", "");
    Handler h({"/tmp/x"});
    EXPECT_EQ(Dump(h.Build()), (Strings{"-", "Parvex >", "  A >", "    拡張子別転送 #1", "    -", "    /pub #2",
                                        "    /www #3", "    CGI #4", "-"}));
}

TEST_F(Menu, GetCommandStringCopiesTheHelpTextForTypeOneOnly) {
    Handler h({"/tmp/x"});
    char buf[64];
    auto get = [&](com::UINT type, com::UINT size) {
        std::memset(buf, 'x', sizeof buf);
        return h->GetCommandString(0, type, nullptr, buf, size);
    };
    EXPECT_EQ(get(com::GCS_HELPTEXTA, sizeof buf), com::S_OK);
    EXPECT_STREQ(buf, "指定プロバイダへファイル送信");
    EXPECT_EQ(get(com::GCS_VERBA, sizeof buf), com::S_OK);
    EXPECT_EQ(buf[0], 'x') << "other types write nothing";
    get(com::GCS_HELPTEXTA, 8);  // a short buffer is filled, unterminated, and never ends inside a character
    EXPECT_EQ(std::string(buf, 8), std::string("指定\0\0", 8));
    EXPECT_EQ(buf[8], 'x');
}

TEST_F(Menu, ClickWritesTheHandOffAndStartsTheProgramTheKeysAskFor) {
    Entry("A", "e1", "ホームページ");
    Entry("B", "e9", "Nine");
    Programs(record);
    // The per-extension entry of the second provider, for a file directly in "/" (a selection elsewhere, with its
    // folder, is the GNOME Files host's test).
    Shown root({"/a.txt"});
    ASSERT_EQ(root.Invoke(2), com::S_OK);
    EXPECT_EQ(Started(record), "dravik\n");
    layout::HandOff handOff;
    ASSERT_TRUE(layout::ReadHandOff(handOff));
    EXPECT_EQ(handOff.provider, "B");
    EXPECT_EQ(handOff.entry, kAuto);
    EXPECT_EQ(handOff.paths, Strings{"/a.txt"});
    EXPECT_EQ(handOff.rootDir, "");
    EXPECT_EQ(RemoteBrowser(), -1) << "no Ctrl: RemoteBrowser untouched";

    // Shift starts the browser instead; Ctrl asks the transfer program to start it too.
    const std::string shiftRecord = dir / "shift", ctrlRecord = dir / "ctrl";
    Programs(shiftRecord);
    Shown shift({"/w/a"});
    ASSERT_EQ(shift.Invoke(1, com::CMIC_MASK_SHIFT_DOWN), com::S_OK);
    EXPECT_EQ(Started(shiftRecord), "brovin\n");
    EXPECT_TRUE(layout::ReadHandOff(handOff)) << "the hand-off is written for the browser too";
    Programs(ctrlRecord);
    Shown ctrl({"/w/a"});
    ASSERT_EQ(ctrl.Invoke(1, com::CMIC_MASK_CONTROL_DOWN), com::S_OK);
    EXPECT_EQ(Started(ctrlRecord), "dravik\n");
    EXPECT_EQ(RemoteBrowser(), 1);
}

TEST_F(Menu, TextVerbsAndUnknownOffsetsWriteAndStartNothing) {
    Entry("A", "e1", "x");
    Programs(record);
    Shown h({"/w/a"});
    com::CMINVOKECOMMANDINFO info;
    info.lpVerb = "open";
    EXPECT_EQ(h->InvokeCommand(&info), com::E_INVALIDARG);
    // The settings changed since the menu was built: offset 5 names nothing.
    EXPECT_EQ(h.Invoke(5), com::E_FAIL);
    layout::HandOff handOff;
    EXPECT_FALSE(layout::ReadHandOff(handOff));
    EXPECT_EQ(Started(record, 300), "");
    // An entry never numbered (no MENUID) is not offset 0.
    Entry("0new", "fresh", "y");  // enumerated before A, never numbered
    Handler again({"/w/a"});
    EXPECT_EQ(again.Invoke(0), com::S_OK);
    ASSERT_TRUE(layout::ReadHandOff(handOff));
    EXPECT_EQ(handOff.provider, "A");
}

// A click replaces its own entry's hand-off whole, leaves one that another click wrote a moment ago for the program
// started for it, and removes one that no program took in time (or that an older version left without a time).
TEST_F(Menu, AClickReplacesItsOwnHandOffAndOnlyStaleOnesBesideIt) {
    Entry("A", "e1", "x");
    Entry("B", "e2", "y");
    Entry("C", "e3", "z");
    Programs(record);
    Shown big({"/w/1", "/w/2", "/w/3", "/w/4"});
    ASSERT_EQ(big.Invoke(1), com::S_OK);  // A\e1
    Shown small({"/v/only"});
    ASSERT_EQ(small.Invoke(1), com::S_OK);  // A\e1 again
    layout::HandOff handOff;
    ASSERT_TRUE(layout::ReadHandOff(handOff));
    EXPECT_EQ(handOff.provider + "\\" + handOff.entry, "A\\e1");
    EXPECT_EQ(handOff.paths, (Strings{"/v/only"})) << "values of the larger earlier selection were left";

    // B\e2 was chosen a moment ago; C\e3 an hour ago and nobody took it, or by a version that wrote no time.
    Shown pending({"/p/b"});
    ASSERT_EQ(pending.Invoke(3), com::S_OK);  // B\e2
    for (const bool timed : {true, false}) {
        SettingKey stale;
        stale.CreateKey(winreg::HKEY_CURRENT_USER, layout::SelectedEntryKey("C", "e3"));
        stale.WriteString(layout::SelectedValueName(0), "/old/c");
        if (timed) stale.WriteDword(layout::kWritten, static_cast<winreg::DWORD>(std::time(nullptr) - 3600));
        stale.CloseKey();
        Shown again({"/v/again"});
        ASSERT_EQ(again.Invoke(1), com::S_OK);  // A\e1
        EXPECT_EQ(testsupport::StoredChildren(layout::kSelectedKey), (Strings{"A", "B"})) << timed;
    }
    EXPECT_EQ(testsupport::StoredString(layout::SelectedEntryKey("B", "e2"), "Selected0"), "/p/b");
}

// The remote browser's queued upload lives beside the menu's hand-offs, without the time a hand-off carries: a
// right-click in between neither takes it for its own nor clears it as stale.
TEST_F(Menu, ARightClickLeavesTheBrowsersQueuedUpload) {
    {
        SettingKey queued;
        queued.CreateKey(winreg::HKEY_CURRENT_USER, layout::UploadQueueEntryKey("A", "/www"));
        queued.WriteString(layout::SelectedValueName(0), "/w/queued.txt");
    }
    Entry("A", "e1", "x");
    Entry("B", "e2", "y");
    Programs(record);
    Shown click({"/w/a"});
    ASSERT_EQ(click.Invoke(3), com::S_OK);  // B\e2
    EXPECT_EQ(Started(record), "dravik\n");
    layout::HandOff handOff;
    ASSERT_TRUE(layout::ReadHandOff(handOff));
    EXPECT_EQ(handOff.provider + "\\" + handOff.entry, "B\\e2") << "the browser's queue is no hand-off of the menu";
    EXPECT_EQ(testsupport::StoredString(layout::UploadQueueEntryKey("A", "/www"), "Selected0"), "/w/queued.txt");
}

// Runs SQL on the store file beside the module's own connection, as another program would.
void StoreSql(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(std::getenv("PARVEX_REGISTRY"), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

// A write that fails half-way (here: the store refuses "RootDir", as a full disk would) or a program that cannot
// start: the invoke fails, nothing is started and no hand-off remains.
TEST_F(Menu, AFailedWriteOrStartLeavesNoHandOff) {
    Entry("A", "e1", "x");
    Programs(record);
    StoreSql("CREATE TRIGGER full_disk BEFORE INSERT ON vals WHEN NEW.name = 'RootDir' "
             "BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    Shown h({"/w/a", "/w/b"});
    EXPECT_EQ(h.Invoke(1, com::CMIC_MASK_CONTROL_DOWN), com::E_FAIL);
    StoreSql("DROP TRIGGER full_disk");
    layout::HandOff handOff;
    EXPECT_EQ(layout::ReadHandOffStatus(handOff), winreg::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RemoteBrowser(), -1) << "the request was stored without its hand-off";
    EXPECT_EQ(Started(record, 300), "");

    Programs(record, "/no/such/dravik");
    Shown nowhere({"/w/a"});
    EXPECT_EQ(nowhere.Invoke(1, com::CMIC_MASK_CONTROL_DOWN), com::E_FAIL);
    EXPECT_EQ(layout::ReadHandOffStatus(handOff), winreg::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RemoteBrowser(), -1);
}

class Server : public SuiteStore {};

// Every key and value below `path` in HKEY_CLASSES_ROOT, one line each, appended to `out`.
void ClassesTree(const std::string& path, Strings& out) {
    winreg::HKEY key = nullptr;
    if (winreg::RegOpenKeyEx(winreg::HKEY_CLASSES_ROOT, path.c_str(), 0, 0, &key) != 0) return;
    out.push_back(path);
    for (winreg::DWORD i = 0;; ++i) {
        char name[256];
        std::string data(1024, '\0');
        winreg::DWORD nameLen = sizeof name, type = 0, size = 1024;
        if (winreg::RegEnumValue(key, i, name, &nameLen, nullptr, &type, reinterpret_cast<winreg::BYTE*>(data.data()),
                                 &size) != 0)
            break;
        out.push_back(path + " [" + name + "] = " + std::string(data.c_str()));
    }
    Strings subs;
    for (winreg::DWORD i = 0;; ++i) {
        char name[256];
        winreg::DWORD nameLen = sizeof name;
        if (winreg::RegEnumKeyEx(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != 0) break;
        subs.push_back(name);
    }
    winreg::RegCloseKey(key);
    for (const auto& sub : subs) ClassesTree(path + "\\" + sub, out);
}

Strings ClassesTree() {
    Strings out;
    for (const char* k : kClassRoots) ClassesTree(k, out);
    return out;
}

TEST_F(Server, RegisteringTwiceGivesTheSameEntriesAndUnregisteringRemovesThem) {
    const std::string clsid = com::GuidText(shellext::CLSID_ParvexMenu);
    ASSERT_EQ(clsid.size(), 38u);
    EXPECT_EQ(Export<DllRegisterServerFn>("DllRegisterServer")(), com::S_OK);
    auto once = ClassesTree();
    EXPECT_EQ(Export<DllRegisterServerFn>("DllRegisterServer")(), com::S_OK);
    EXPECT_EQ(ClassesTree(), once);

    auto has = [&](const std::string& line) { return std::find(once.begin(), once.end(), line) != once.end(); };
    for (const std::string root : {"*", "Directory", "Folder", "shellex"})
        EXPECT_TRUE(has(root + "\\shellex\\ContextMenuHandlers\\parvex [] = " + clsid)) << root;
    EXPECT_TRUE(has("parvex\\CLSID [] = " + clsid));
    EXPECT_TRUE(has("CLSID\\" + clsid + "\\ProgID [] = parvex"));
    EXPECT_TRUE(has("CLSID\\" + clsid + "\\InprocServer32 [ThreadingModel] = Apartment"));
    char real[PATH_MAX];
    ASSERT_NE(::realpath(PARVEX_MODULE, real), nullptr);
    EXPECT_TRUE(has("CLSID\\" + clsid + "\\InprocServer32 [] = " + real)) << "the module's own full path";
    EXPECT_EQ(Export<ParvexMenuOfferedFn>("ParvexMenuOffered")(1, 1), 1);

    EXPECT_EQ(Export<DllUnregisterServerFn>("DllUnregisterServer")(), com::S_OK);
    EXPECT_EQ(Export<DllUnregisterServerFn>("DllUnregisterServer")(), com::S_OK) << "nothing left to remove is fine";
    for (const auto& line : ClassesTree())
        EXPECT_EQ(line.find(" = "), std::string::npos) << "left behind: " << line;
    EXPECT_EQ(Export<ParvexMenuOfferedFn>("ParvexMenuOffered")(1, 0), 0);
    EXPECT_EQ(Export<ParvexMenuOfferedFn>("ParvexMenuOffered")(0, 1), 0);
}

TEST_F(Server, FactoryAnswersOnlyItsClassAndHoldsTheModuleWhileObjectsLive) {
    auto getClass = Export<DllGetClassObjectFn>("DllGetClassObject");
    auto canUnload = Export<DllCanUnloadNowFn>("DllCanUnloadNow");
    void* object = reinterpret_cast<void*>(1);
    com::CLSID other = shellext::CLSID_ParvexMenu;
    other.Data1 ^= 1;
    EXPECT_EQ(getClass(other, com::IID_IClassFactory, &object), com::CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);

    com::IClassFactory* factory = nullptr;
    ASSERT_EQ(getClass(shellext::CLSID_ParvexMenu, com::IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              com::S_OK);
    EXPECT_EQ(canUnload(), com::S_OK);
    com::IContextMenu* menu = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, com::IID_IContextMenu, reinterpret_cast<void**>(&menu)), com::S_OK);
    EXPECT_EQ(canUnload(), com::S_FALSE);
    com::IShellExtInit* init = nullptr;
    ASSERT_EQ(menu->QueryInterface(com::IID_IShellExtInit, reinterpret_cast<void**>(&init)), com::S_OK);
    EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), com::E_FAIL) << "no data object";
    menu->Release();
    EXPECT_EQ(canUnload(), com::S_FALSE) << "the object lives through its other interface";
    init->Release();
    EXPECT_EQ(canUnload(), com::S_OK);

    factory->LockServer(true);
    EXPECT_EQ(canUnload(), com::S_FALSE);
    factory->LockServer(false);
    EXPECT_EQ(canUnload(), com::S_OK);
    com::IUnknown* outer = reinterpret_cast<com::IUnknown*>(factory);
    EXPECT_EQ(factory->CreateInstance(outer, com::IID_IContextMenu, &object), com::CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->CreateInstance(nullptr, com::IID_IDataObject, &object), com::E_NOINTERFACE);
    EXPECT_EQ(canUnload(), com::S_OK);
    factory->Release();
}

}  // namespace
