// A menu as the context-menu handler fills it: items with command ids,
// separators and popups, by position. Each host turns it into its own
// toolkit's menu.
#pragma once

#include "shellext/com.h"

#include <memory>
#include <string>
#include <vector>

namespace com {

class Menu;

struct MenuItem {
    enum class Kind { Separator, Command, Popup };
    Kind kind = Kind::Separator;
    std::string text;
    UINT id = 0;                  // Command only
    std::shared_ptr<Menu> popup;  // Popup only
};

class Menu {
public:
    std::vector<MenuItem> items;

    // Inserts at `position` (past the end: appended).
    void Insert(UINT position, MenuItem item) {
        auto at = position >= items.size() ? items.end() : items.begin() + position;
        items.insert(at, std::move(item));
    }
    void AppendSeparator() { items.push_back(MenuItem{}); }
    void AppendCommand(UINT id, std::string text) {
        items.push_back(MenuItem{MenuItem::Kind::Command, std::move(text), id, nullptr});
    }
    void AppendPopup(std::shared_ptr<Menu> popup, std::string text) {
        items.push_back(MenuItem{MenuItem::Kind::Popup, std::move(text), 0, std::move(popup)});
    }
};

}  // namespace com
