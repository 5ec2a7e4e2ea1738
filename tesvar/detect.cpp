#include "tesvar/codec.h"

#include <algorithm>

namespace tesvar {

namespace {
constexpr std::uint64_t kLookAhead = 1u << 20;
}

void Detector::ByteUtf8(std::uint8_t b) {
    Reading& r = utf8_;
    if (r.need > 0) {
        bool ok = (b & 0xC0) == 0x80;
        if (ok && r.lead != 0) {
            // The second byte's narrower ranges rule out overlongs, surrogates and code points past U+10FFFF.
            if (r.lead == 0xE0) ok = b >= 0xA0;
            else if (r.lead == 0xED) ok = b <= 0x9F;
            else if (r.lead == 0xF0) ok = b >= 0x90;
            else if (r.lead == 0xF4) ok = b <= 0x8F;
            r.lead = 0;
        }
        if (ok) {
            --r.need;
            return;
        }
        ++r.errors;
        r.need = 0;
    }
    if (b < 0x80) return;
    r.lead = b;
    if (b >= 0xC2 && b <= 0xDF) r.need = 1;
    else if (b >= 0xE0 && b <= 0xEF) r.need = 2;
    else if (b >= 0xF0 && b <= 0xF4) r.need = 3;
    else ++r.errors;
}

void Detector::ByteEuc(std::uint8_t b) {
    Reading& r = euc_;
    if (r.need > 0) {
        bool ok = r.lead == 0x8E ? (b >= 0xA1 && b <= 0xDF) : (b >= 0xA1 && b <= 0xFE);
        if (ok) {
            if (--r.need == 0 && r.lead >= 0xA1) {
                unsigned row = r.lead - 0xA0u;
                if (row <= 5) eucCommonRows_ = true;
                if ((row >= 9 && row <= 12) || row == 14 || row == 15 || row >= 85) eucUnassigned_ = true;
            }
            return;
        }
        ++r.errors;
        r.need = 0;
    }
    if (b < 0x80) return;
    r.lead = b;
    if (b >= 0xA1 && b <= 0xFE) r.need = 1;
    else if (b == 0x8E) r.need = 1;
    else if (b == 0x8F) r.need = 2;
    else ++r.errors;
}

void Detector::ByteSjis(std::uint8_t b) {
    Reading& r = sjis_;
    if (r.need > 0) {
        r.need = 0;
        if (b >= 0x40 && b <= 0xFC && b != 0x7F) return;
        ++r.errors;
    }
    if (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) return;
    if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC))
        r.need = 1;
    else
        ++r.errors;
}

void Detector::ByteEsc(std::uint8_t b) {
    switch (escState_) {
    case 1: escState_ = b == '$' ? 2 : b == '(' ? 3 : 0; break;
    case 2:
        if (b == '@' || b == 'B') sawDesignation_ = true;
        escState_ = b == '(' ? 4 : 0;
        break;
    case 3:
        if (b == 'I') sawDesignation_ = true;
        escState_ = 0;
        break;
    case 4:
        if (b == 'D') sawDesignation_ = true;
        escState_ = 0;
        break;
    default: break;
    }
    if (b == 0x1B) escState_ = 1;
}

bool Detector::Feed(const std::uint8_t* p, std::size_t n) {
    if (decided_) return true;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t b = p[i];
        if (!started_) {
            // A byte-order mark decides at once; anything else ends the look for one.
            static const std::uint8_t kBom[3] = {0xEF, 0xBB, 0xBF};
            if (b == kBom[bomSeen_]) {
                if (++bomSeen_ == 3) {
                    bom_ = decided_ = true;
                    return true;
                }
            } else {
                started_ = true;
            }
        }
        if (!sawHigh_) {
            if (b < 0x80) {
                if (b == 0x1B || escState_ != 0) ByteEsc(b);
                continue;
            }
            sawHigh_ = true;
        }
        nonAscii_ += b >> 7;
        ByteUtf8(b);
        ByteEuc(b);
        ByteSjis(b);
        if (++highBytes_ >= kLookAhead) {
            decided_ = true;
            return true;
        }
        // Once only one reading is left standing, more text cannot change the answer.
        int valid = (utf8_.errors == 0) + (euc_.errors == 0) + (sjis_.errors == 0);
        if (valid == 1) {
            decided_ = true;
            return true;
        }
    }
    return decided_;
}

Code Detector::Result() const {
    if (bom_) return Code::Utf8;
    if (!sawHigh_) return sawDesignation_ ? Code::Jis : Code::Ascii;
    // A sequence cut off by the end of the text counts against its reading;
    // after an early decision more text follows, so an open sequence does not.
    bool atEnd = !decided_;
    auto errors = [atEnd](const Reading& r) { return r.errors + (atEnd && r.need > 0 ? 1u : 0u); };
    std::uint32_t eu = errors(utf8_), ee = errors(euc_), es = errors(sjis_);
    if (eu == 0) return Code::Utf8;
    if (ee == 0 && es == 0) return eucCommonRows_ && !eucUnassigned_ ? Code::Euc : Code::Sjis;
    if (es == 0) return Code::Sjis;
    if (ee == 0) return Code::Euc;
    if (es <= ee && es <= eu) return Code::Sjis;
    return ee <= eu ? Code::Euc : Code::Utf8;
}

bool Detector::Fails() const {
    if (bom_ || !sawHigh_) return false;
    bool atEnd = !decided_;
    auto errors = [atEnd](const Reading& r) { return r.errors + (atEnd && r.need > 0 ? 1u : 0u); };
    std::uint64_t best = std::min({errors(utf8_), errors(euc_), errors(sjis_)});
    return best > 0 && best * 8 > nonAscii_;
}

Code Detect(const std::uint8_t* p, std::size_t n) {
    Detector d;
    d.Feed(p, n);
    return d.Result();
}

}  // namespace tesvar
