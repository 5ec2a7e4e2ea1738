// libFuzzer target: detection and conversion of arbitrary bytes, split into chunks at fuzzer-chosen places, must
// never crash and must always give well-formed output that does not depend on the chunking.
#include "tesvar/codec.h"
#include "tests/tesvar/validate.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Convert(tesvar::Code from, int to, const std::uint8_t* p, std::size_t n, std::size_t chunk) {
    tesvar::Converter c(from, static_cast<tesvar::Target>(to));
    std::string out;
    std::vector<std::uint8_t> buf;
    for (std::size_t i = 0; i < n; i += chunk) {
        std::size_t m = std::min(chunk, n - i);
        buf.resize(tesvar::Converter::MaxOutput(m));
        out.append(reinterpret_cast<char*>(buf.data()), c.Convert(p + i, m, buf.data()));
    }
    buf.resize(tesvar::Converter::MaxOutput(0));
    out.append(reinterpret_cast<char*>(buf.data()), c.Finish(buf.data()));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::size_t chunk = 1 + data[0] % 13;
    data++, size--;
    tesvar::Code from = tesvar::Detect(data, size);
    for (int to = 0; to < 3; ++to) {
        std::string whole = Convert(from, to, data, size, size + 1);
        if (tesvartest::FirstInvalid(whole, to) != std::string::npos) std::abort();
        if (Convert(from, to, data, size, chunk) != whole) std::abort();
    }
    return 0;
}
