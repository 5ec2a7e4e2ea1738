// The certificate question's text and the provider's memory of a trusted certificate.
#include "common/walk/certificate.h"

#include "common/walk/entry_connection.h"

#include "common/registry/layout.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace walk;

namespace {

const std::string kSha(64, 'a');

TEST(CertificateText, SaysWhyWithEveryServerTextOnOneLineAndWarnsWhenTheCertificateChanged) {
    inet::CertificateInfo cert;
    cert.subject = "CN=evil\nCN=bank,O=\xe2\x80\xae";  // a line break and a reordering mark from the certificate
    cert.issuer = "CN=Test CA";
    cert.sha256 = "00ff" + std::string(60, '1');
    cert.problems = inet::kUnknownIssuer | inet::kOtherHost;
    const std::string fresh = CertificateText("ftp.example.jp", cert, {});
    EXPECT_NE(fresh.find("サーバ「ftp.example.jp」の証明書を確認できませんでした。"), std::string::npos) << fresh;
    EXPECT_NE(fresh.find("・信頼できる認証局の署名がありません"), std::string::npos);
    EXPECT_NE(fresh.find("・別のホスト名に発行された証明書です。"), std::string::npos);
    EXPECT_EQ(fresh.find("有効期限が切れています"), std::string::npos);
    EXPECT_NE(fresh.find("発行先: CN=evil\\nCN=bank,O=\\u202E\n"), std::string::npos) << fresh;
    EXPECT_NE(fresh.find("SHA-256 フィンガープリント:\n00:ff:11:"), std::string::npos);
    EXPECT_EQ(fresh.find("警告"), std::string::npos);

    inet::Security remembered;
    remembered.trustedFingerprints = {kSha};
    const std::string changed = CertificateText("ftp.example.jp", cert, remembered);
    EXPECT_EQ(changed.rfind("警告: サーバ「ftp.example.jp」の証明書が、以前に信頼した証明書から変わっています。", 0), 0u)
        << changed;
}

TEST(TrustCertificate, RemembersOneFingerprintInEveryEntryOfTheProviderOrNothing) {
    testsupport::ScopedStore store;
    for (const char* entry : {"public_html", layout::kAutoTransferEntry}) {
        SettingKey key;
        ASSERT_EQ(key.CreateKey(winreg::HKEY_CURRENT_USER, layout::EntryKey("prov", entry)), 0);
        key.WriteString(layout::kTrustedCertificate, std::string(64, 'b'));
    }
    SettingKey other;
    ASSERT_EQ(other.CreateKey(winreg::HKEY_CURRENT_USER, layout::EntryKey("other", "www")), 0);

    auto trusted = [](const char* provider, const char* entry) {
        SettingKey key;
        std::string value;
        key.OpenKey(winreg::HKEY_CURRENT_USER, layout::EntryKey(provider, entry));
        key.ReadString(layout::kTrustedCertificate, value);
        return value;
    };
    for (const std::string& bad : {std::string(63, 'a'), std::string(64, 'A'), std::string(63, 'a') + "\n", std::string()})
        EXPECT_EQ(TrustCertificate("prov", bad), winreg::ERROR_INVALID_PARAMETER) << bad;
    EXPECT_EQ(TrustCertificate("pr\\ov", kSha), winreg::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(TrustCertificate("missing", kSha), winreg::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(trusted("prov", "public_html"), std::string(64, 'b'));

    ASSERT_EQ(TrustCertificate("prov", kSha), winreg::ERROR_SUCCESS);
    EXPECT_EQ(trusted("prov", "public_html"), kSha);
    EXPECT_EQ(trusted("prov", layout::kAutoTransferEntry), kSha);
    EXPECT_EQ(trusted("other", "www"), "");
}

TEST(EntryEncryption, MissingOrZeroIsPlainAndANumberNotKnownNeverIs) {
    testsupport::ScopedStore store;
    const std::pair<int, inet::Encryption> rows[] = {{-1, inet::Encryption::None},
                                                     {0, inet::Encryption::None},
                                                     {1, inet::Encryption::IfOffered},
                                                     {2, inet::Encryption::Required},
                                                     {7, inet::Encryption::Required}};
    for (const auto& [stored, expected] : rows) {
        SettingKey key;
        ASSERT_EQ(key.CreateKey(winreg::HKEY_CURRENT_USER, layout::EntryKey("prov", "www")), 0);
        if (stored < 0)
            key.DeleteValue(layout::kEncryption);
        else
            key.WriteDword(layout::kEncryption, static_cast<winreg::DWORD>(stored));
        EXPECT_EQ(ReadEntryConnection("prov", "www").security.encryption, expected) << stored;
    }
}

}  // namespace
