// What every host does to get the "Parvex" handler for a selection: ask the
// module's class object for the factory, create a CRegisterMenu, initialise
// it with the paths and take its context-menu interface.
#pragma once

#include "shellext/com.h"
#include "shellext/data_object.h"
#include "shellext/server.h"

#include <string>
#include <vector>

namespace com {

// `getClass` is the module's DllGetClassObject. On success *menu holds a
// reference the caller releases. Fails with the class object's status, the
// factory's, or E_FAIL from initialisation (no paths).
inline HRESULT CreateMenuHandler(DllGetClassObjectFn getClass, std::vector<std::string> paths, IContextMenu** menu) {
    *menu = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = getClass(shellext::CLSID_ParvexMenu, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    IShellExtInit* init = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init));
    factory->Release();
    if (FAILED(hr)) return hr;
    auto* data = new FileDropData(std::move(paths));
    hr = init->Initialize(nullptr, data, nullptr);
    data->Release();
    if (SUCCEEDED(hr)) hr = init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(menu));
    init->Release();
    return hr;
}

}  // namespace com

namespace shellext {

// What every host tells the user when a chosen entry starts nothing (the
// command failed): the menu has closed by then, and without a word the
// choice would look as if it had worked.
inline constexpr const char* kNothingStartedSummary = "Parvex: 転送を始められませんでした";
inline constexpr const char* kNothingStartedBody =
    "選んだ項目のプログラムを起動できませんでした。"
    "プログラムの場所(設定 HKCU\\Software\\PARVEX\\RUNNING の InstDir / InstDirBrovin)にプログラムがあるか、"
    "設定ファイルに書き込めるかを確かめてください。"
    "メニューを開いたあとで設定が変わったときは、もう一度右クリックしてから選んでください。";

// The handler's answer to a command when the settings store stayed in use
// by another program for longer than the process waits:
// HRESULT_FROM_WIN32(ERROR_BUSY).
inline constexpr com::HRESULT E_STORE_BUSY = static_cast<com::HRESULT>(0x800700AA);

// What is told then, in place of kNothingStartedBody.
inline constexpr const char* kStoreBusyBody =
    "設定ファイルをほかのプログラムが使用中のため、選んだ項目を書き込めませんでした。"
    "少し待ってから、もう一度右クリックして選んでください。";

}  // namespace shellext
