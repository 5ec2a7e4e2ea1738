// parvex-menu: the "Parvex" menu for file managers other than GNOME Files.
// It loads parvex.so as a shell would, pops the handler's menu up at the
// pointer, and invokes the chosen command with the modifier keys held.
#pragma once

#include "shellext/com.h"
#include "shellext/menu.h"

#include <memory>
#include <string>
#include <vector>

class wxMenu;

namespace popup {

// parvex.so loaded and a handler initialised with a selection.
class Handler {
public:
    // Loads `modulePath`; Error() tells what failed.
    explicit Handler(const std::string& modulePath);
    ~Handler();
    Handler(const Handler&) = delete;
    Handler& operator=(const Handler&) = delete;

    // Whether the module offers its menu for these paths (registered for
    // their kinds), and then builds it. False with Error() set otherwise.
    bool Build(const std::vector<std::string>& paths);
    const com::Menu& MenuModel() const { return menu_; }
    // The "Parvex" popup of the model, or null.
    const com::Menu* ParvexMenu() const;
    // Invokes command `id` (as the model numbers it) with CMIC_MASK_* `mask`.
    com::HRESULT Invoke(com::UINT id, com::UINT mask);
    const std::string& Error() const { return error_; }

    static constexpr com::UINT kFirstId = 100;

private:
    void* module_ = nullptr;
    com::IContextMenu* handler_ = nullptr;
    com::Menu menu_;
    std::string error_;
};

// The wx menu for a model popup: the same items, submenus and ids, without
// separators at either end.
std::unique_ptr<wxMenu> ToWxMenu(const com::Menu& menu, const std::string& title = "");

}  // namespace popup
