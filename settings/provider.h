// The provider being edited by the settings dialogs, and the rules by which
// it is loaded from and saved to the settings store.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace settings {

// One provider as the dialogs and the import carry it. The first eight
// fields keep this order: the extension selection sheet reaches the user
// name, password, server address and port through the provider name's place.
struct ProviderRecord {
    std::string providerName;
    std::string userName;
    std::string password;
    std::string serverAddr;
    std::string directory;  // where to go after login; names the directory entry
    std::string menuName;
    std::int32_t port = 0;
    std::int32_t anonymous = 0;
    // Per-extension routing: (extension list, target directory) in order.
    std::vector<std::pair<std::string, std::string>> autoTransfer;
};

}  // namespace settings
