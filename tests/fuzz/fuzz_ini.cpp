// libFuzzer target: definition-file text in any bytes is decoded and looked up without crashing; whatever decodes is
// UTF-8 whose profile strings never pass 259 bytes, and routing lines split into tokens free of delimiters.
#include "settings/ini.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text, error;
    if (!settings::DecodeText(std::string_view(reinterpret_cast<const char*>(data), size), text, error)) return 0;
    const settings::IniFile ini(text);
    const std::int32_t last = ini.HighestIndex("PROFILE", "PROFILE");
    for (std::int32_t n = 1; n <= last && n < 64; ++n) {
        std::string name = ini.GetString("PROFILE", "PROFILE" + std::to_string(n));
        if (name.size() > settings::kIniStringBytes) std::abort();
        ini.GetInt("PROFILE", "PORT" + std::to_string(n));
        std::string dir, ext;
        if (settings::SplitRoutingLine(ini.GetString("AUTOTRANSFER", name + "1"), dir, ext) &&
            (dir.empty() || dir.find_first_of(", \"") != std::string::npos ||
             ext.find_first_of(", \"") != std::string::npos))
            std::abort();
    }
    return 0;
}
