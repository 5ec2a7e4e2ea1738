// libFuzzer target: the .reg reader takes any bytes without crashing (UTF-16 after a byte-order mark, UTF-8, CP932),
// and whatever it accepts formats back to UTF-8 lines it parses to the same values. The first byte picks whether the
// rest is read as it is or behind a UTF-16LE byte-order mark, so that the fuzzer explores UTF-16 text without having
// to find the mark.
#include "tools/reg/regfile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::string text = data[0] & 1 ? "\xFF\xFE" : "";
    text.append(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<regfile::Key> keys;
    int line = 0;
    std::string error;
    if (!regfile::ParseFile(text, keys, line, error)) return 0;
    std::string again = std::string(regfile::kHeader) + "\n";
    for (const auto& k : keys) {
        again += (k.remove ? "[-" : "[") + k.path + "]\n";
        for (const auto& v : k.values) again += regfile::FormatValue(v) + "\n";
    }
    std::vector<regfile::Key> reparsed;
    if (!regfile::Parse(again, reparsed, line, error) || reparsed.size() != keys.size()) std::abort();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (reparsed[i].values.size() != keys[i].values.size()) std::abort();
        for (std::size_t j = 0; j < keys[i].values.size(); ++j) {
            const auto &a = keys[i].values[j], &b = reparsed[i].values[j];
            if (a.name != b.name || a.isDefault != b.isDefault || a.remove != b.remove ||
                (!a.remove && (a.type != b.type || a.data != b.data)))
                std::abort();
        }
    }
    return 0;
}
