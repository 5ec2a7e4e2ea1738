// The context-menu handler: one object per menu the file manager builds.
// It lists every provider and its entries under "Parvex", and on a click
// writes the selection into the hand-off and starts the transfer program
// (or, with Shift, the remote browser).
#pragma once

#include "platform/registry/registry.h"
#include "shellext/com.h"

#include <atomic>
#include <string>
#include <vector>

namespace shellext {

class CRegisterMenu final : public com::IShellExtInit, public com::IContextMenu {
public:
    // Empties the process-wide selection and holds the module's lock.
    CRegisterMenu();

    com::HRESULT QueryInterface(const com::IID& iid, void** object) override;
    com::ULONG AddRef() override;
    com::ULONG Release() override;

    // Takes the selection's paths; E_FAIL without data or without paths.
    com::HRESULT Initialize(const char* folder, com::IDataObject* data, void* progIdKey) override;
    com::HRESULT QueryContextMenu(com::Menu* menu, com::UINT index, com::UINT idCmdFirst, com::UINT idCmdLast,
                                  com::UINT flags) override;
    // E_INVALIDARG for a text verb; E_FAIL, with nothing written or
    // started, for an offset that no entry's "MENUID" holds, when a write of
    // the hand-off fails, or when the program cannot be started;
    // E_STORE_BUSY, with nothing written or started, when another program
    // held the settings store for longer than the process waits, here or
    // while the menu was built.
    com::HRESULT InvokeCommand(const com::CMINVOKECOMMANDINFO* info) override;
    com::HRESULT GetCommandString(std::uintptr_t idCmd, com::UINT type, com::UINT* reserved, char* name,
                                  com::UINT size) override;

private:
    ~CRegisterMenu();
    // Writes the selection as the hand-off of `provider`\`entry`, reads the
    // program to start into `commandLine` and, with `alsoBrowser`, asks the
    // transfer program for the browser too: all in one transaction, false
    // (with nothing stored) when any of it fails.
    // Returns the store's status.
    static winreg::LONG WriteHandOff(const std::string& provider, const std::string& entry, bool browser,
                                     bool alsoBrowser, std::string& commandLine);
    // Removes the hand-off of `provider`\`entry` whose program could not be
    // started; others beside it stay.
    static void DropHandOff(const std::string& provider, const std::string& entry, bool alsoBrowser);
    std::atomic<com::ULONG> refs_{1};
    // Why the menu's "MENUID"s could not be stored when it was built
    // (ERROR_SUCCESS when they were): its offsets then name nothing.
    winreg::LONG idsStatus_ = winreg::ERROR_SUCCESS;
};


// The selection of the menu being shown, shared by every handler object of
// the process (the file manager shows one context menu at a time).
std::vector<std::string>& Selection();

// Objects and LockServer locks alive; the module may unload at 0.
std::atomic<long>& ModuleLocks();

}  // namespace shellext
