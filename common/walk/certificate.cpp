#include "common/walk/certificate.h"

#include "common/registry/layout.h"
#include "common/walk/remote_listing.h"

#include <ctime>

namespace walk {

namespace {

std::string LocalTime(std::int64_t t) {
    if (t <= 0) return "不明";
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    if (!localtime_r(&tt, &tm)) return "不明";
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M", &tm);
    return buf;
}

// Pairs of hex digits joined by ":", sixteen pairs a line (a whole SHA-256
// on one line would make the question twice as wide as the screen it is on).
std::string Fingerprint(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        if (i > 0) out += i % 32 == 0 ? "\n" : ":";
        out += hex.substr(i, 2);
    }
    return out.empty() ? "不明" : out;
}

bool IsSha256(const std::string& s) {
    return s.size() == 64 && s.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

std::string CertificateText(const std::string& server, const inet::CertificateInfo& cert,
                            const inet::Security& security) {
    std::string text;
    if (!security.trustedFingerprints.empty())
        text += "警告: サーバ「" + ShownName(server) +
                "」の証明書が、以前に信頼した証明書から変わっています。サーバが証明書を更新しただけかもしれませんが、"
                "第三者がサーバになりすましている(通信が乗っ取られている)おそれもあります。心当たりがなければ中止"
                "してください。\n\n";
    else
        text += "サーバ「" + ShownName(server) + "」の証明書を確認できませんでした。\n\n";
    const std::pair<unsigned, const char*> reasons[] = {
        {inet::kUnknownIssuer, "信頼できる認証局の署名がありません(自己署名の証明書など)。"},
        {inet::kExpired, "有効期限が切れています。"},
        {inet::kNotYetValid, "まだ有効期間が始まっていません。"},
        {inet::kOtherHost, "別のホスト名に発行された証明書です。"},
        {inet::kOtherProblem, "証明書に問題があります(失効、弱い署名方式など)。"}};
    for (const auto& [bit, reason] : reasons)
        if (cert.problems & bit) text += std::string("・") + reason + "\n";
    text += "\n発行先: " + ShownName(cert.subject) + "\n";
    text += "発行者: " + ShownName(cert.issuer) + "\n";
    text += "有効期間: " + LocalTime(cert.notBefore) + " から " + LocalTime(cert.notAfter) + " まで\n";
    text += "SHA-256 フィンガープリント:\n" + Fingerprint(ShownName(cert.sha256));
    return text;
}

winreg::LONG TrustCertificate(const std::string& provider, const std::string& sha256) {
    if (!IsSha256(sha256) || provider.empty() || provider.find('\\') != std::string::npos)
        return winreg::ERROR_INVALID_PARAMETER;
    winreg::Transaction transaction;
    if (transaction.Status() != winreg::ERROR_SUCCESS) return transaction.Status();
    if (const winreg::LONG st = layout::WriteToEveryEntry(provider, layout::kTrustedCertificate, sha256);
        st != winreg::ERROR_SUCCESS)
        return st;
    return transaction.Commit();
}

}  // namespace walk
