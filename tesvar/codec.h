// Japanese text code detection and conversion among Shift_JIS (CP932),
// ISO-2022-JP, EUC-JP and UTF-8 sources, streaming with constant memory.
//
// Every ASCII byte and line end is kept as it is. JIS X 0208 characters map
// arithmetically among the three legacy codes; half-width katakana are kept
// (SJIS A1-DF, EUC 8E xx, JIS ESC ( I). A character the target cannot hold,
// and every byte that is not part of a valid sequence, becomes 〓 (GETA
// MARK) in the target code: nothing is dropped and no invalid sequence is
// ever written. (An ESC byte that does not start a designation is ASCII
// for the 8-bit targets and 〓 in ISO-2022-JP, where it would read as one.)
#pragma once

#include <cstddef>
#include <cstdint>

namespace tesvar {

enum class Code { Ascii, Jis, Euc, Sjis, Utf8 };

// Target code numbers as the callers pass them.
enum Target : int { kToSjis = 0, kToJis = 1, kToEuc = 2 };

const char* CodeName(Code code);

// Decides a source's code from its first bytes.
//
// The rule: a UTF-8 byte-order mark means UTF-8. Without any byte of 0x80
// or more the text is ISO-2022-JP when it contains a JIS designation
// (ESC $ @, ESC $ B, ESC ( I, ESC $ ( D), else ASCII. Otherwise the first
// reading that stays valid wins in the order UTF-8, then EUC-JP or
// Shift_JIS; when both EUC-JP and Shift_JIS read validly, EUC-JP is taken
// only if its reading contains punctuation or kana (JIS rows 1 to 5, which
// nearly every Japanese sentence has) and no character in an unassigned
// row, else Shift_JIS. When no reading is valid, the one with the fewest
// invalid bytes wins (ties: Shift_JIS, EUC-JP, UTF-8). Detection looks at
// the text up to 1 MiB past its first non-ASCII byte.
class Detector {
public:
    // Feeds the next bytes; true once the answer cannot change any more.
    bool Feed(const std::uint8_t* p, std::size_t n);
    // The answer for what was fed (call at the end of the input, or once Feed returned true).
    Code Result() const;
    // True when what was fed is no Japanese text at all: every reading (UTF-8,
    // EUC-JP, Shift_JIS) has invalid bytes, and even the best one has more
    // than one invalid byte in every eight non-ASCII bytes looked at. Text in
    // one of the codes with a stray broken byte here and there still reads
    // (the broken bytes become 〓); Latin-1 text or compressed data does not.
    bool Fails() const;

private:
    struct Reading {
        std::uint8_t need = 0;     // continuation bytes still expected
        std::uint8_t lead = 0;     // first byte of the sequence being read
        std::uint8_t second = 0;   // for EUC 8F: the second byte seen
        std::uint32_t errors = 0;
    };
    bool decided_ = false;
    bool started_ = false;
    bool bom_ = false;
    bool sawHigh_ = false;
    bool sawDesignation_ = false;
    std::uint8_t escState_ = 0;
    std::uint64_t highBytes_ = 0;  // bytes looked at since the first non-ASCII one
    std::uint64_t nonAscii_ = 0;   // of those, the ones of 0x80 or more
    Reading utf8_, euc_, sjis_;
    std::uint8_t bomSeen_ = 0;
    bool eucCommonRows_ = false;
    bool eucUnassigned_ = false;

    void ByteUtf8(std::uint8_t b);
    void ByteEuc(std::uint8_t b);
    void ByteSjis(std::uint8_t b);
    void ByteEsc(std::uint8_t b);
};

// Detects the code of a whole buffer.
Code Detect(const std::uint8_t* p, std::size_t n);

// Streams text from one code to a target. Feed chunks to Convert; a
// sequence cut at a chunk's end is completed from the next chunk. Finish
// ends the output (an unfinished sequence becomes 〓; ISO-2022-JP returns
// to ASCII).
class Converter {
public:
    Converter(Code source, Target target);

    // Largest output Convert or Finish can write for `n` input bytes.
    static std::size_t MaxOutput(std::size_t n) { return 8 * (n + 8) + 16; }

    // Converts `n` bytes into `out` (capacity MaxOutput(n)); returns bytes written.
    std::size_t Convert(const std::uint8_t* in, std::size_t n, std::uint8_t* out);
    // Writes what remains (capacity MaxOutput(0)); returns bytes written.
    std::size_t Finish(std::uint8_t* out);

private:
    enum class Mode : std::uint8_t { Ascii, Kanji, Kana, Supplement };
    Code source_;
    Target target_;
    Mode inMode_ = Mode::Ascii;   // ISO-2022-JP source state
    Mode outMode_ = Mode::Ascii;  // ISO-2022-JP target state
    bool atStart_ = true;         // for a UTF-8 byte-order mark
    std::uint8_t pending_[16] = {};
    std::size_t pendingLen_ = 0;

    template <Code S, Target T>
    std::size_t Run(const std::uint8_t* p, std::size_t n, std::uint8_t*& o, bool final);
    std::size_t Dispatch(const std::uint8_t* p, std::size_t n, std::uint8_t*& o, bool final);

    template <Target T>
    friend struct Emit;
};

}  // namespace tesvar
