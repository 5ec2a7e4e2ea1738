// The bulk import of definition files.
#include "settings/definition_import.h"

#include "platform/registry/registry.h"
#include "settings/ini.h"
#include "settings/provider.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace settings {

namespace {

// Definition files list providers by the hundred at most; a file far larger
// is no definition file and is not read into memory.
constexpr off_t kMaxFileBytes = 64 * 1024 * 1024;

std::string Key(const char* stem, std::int32_t n) { return stem + std::to_string(n); }

// A setting written as one digit from "0" to `highest`: its number; -1 for anything else.
std::int32_t ChoiceFromText(const std::string& text, char highest) {
    if (text.size() != 1 || text[0] < '0' || text[0] > highest) return -1;
    return text[0] - '0';
}

ImportResult Fail(ImportResult::Status status, std::string error) {
    ImportResult r;
    r.status = status;
    r.error = std::move(error);
    return r;
}

}  // namespace

ImportResult ImportDefinitionFile(const std::string& path, const ImportProgress& progress) {
    using Status = ImportResult::Status;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return Fail(Status::kCannotRead, path + " が見つかりません。");
    if (S_ISDIR(st.st_mode)) return Fail(Status::kCannotRead, path + " はフォルダです。");
    if (!S_ISREG(st.st_mode)) return Fail(Status::kCannotRead, path + " は通常のファイルではありません。");
    if (st.st_size > kMaxFileBytes) return Fail(Status::kNotDefinitionFile, path + " は定義ファイルとしては大きすぎます。");
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) return Fail(Status::kCannotRead, path + " を読めません。");
    std::string text, why;
    if (!DecodeText(bytes, text, why)) return Fail(Status::kNotDefinitionFile, path + " は定義ファイルではありません: " + why);
    const IniFile ini(text);

    ImportResult result;
    result.profileCount = ini.GetInt("PROFILE", "PROFILE");
    // Numbers past the last PROFILEn key can only give empty provider names,
    // which are skipped; stopping there keeps a count of 2,000,000,000 cheap.
    const std::int32_t last = std::min(result.profileCount, ini.HighestIndex("PROFILE", "PROFILE"));
    result.absentProfiles = result.profileCount > last ? result.profileCount - std::max(last, 0) : 0;

    winreg::Transaction transaction;
    if (transaction.Status() != winreg::ERROR_SUCCESS)
        return Fail(Status::kStoreFailed, "設定を書き込めません(" + std::to_string(transaction.Status()) + ")。");
    ProviderRecord record;
    for (std::int32_t n = 1; n <= last; ++n) {
        record.providerName = ini.GetString("PROFILE", Key("PROFILE", n));
        record.serverAddr = ini.GetString("PROFILE", Key("SERVERADDR", n));
        record.userName = ini.GetString("PROFILE", Key("USERNAME", n));
        record.password = ini.GetString("PROFILE", Key("USERPWD", n));
        record.directory = ini.GetString("PROFILE", Key("MOVEDIR", n));
        record.menuName = ini.GetString("PROFILE", Key("VIEWMOVEDIR", n));
        // Without a menu name the entry shows no text and cannot be chosen.
        if (record.menuName.empty()) record.menuName = DefaultMenuName(record.directory);
        record.anonymous = ini.GetInt("PROFILE", Key("ANONYMOUS", n));
        // A profile without a port gets the one the wizard offers.
        record.port = ini.GetInt("PROFILE", Key("PORT", n), kDefaultPort);
        record.autoTransfer.clear();
        // Plain FTP unless the file asks for TLS: files written before TLS
        // existed describe servers reached in plain FTP. A value that is none
        // of the three refuses the profile rather than guessing: "yes" read
        // as plain FTP would send the password in clear where TLS was meant.
        const std::string encryption = ini.GetString("PROFILE", Key("ENCRYPTION", n));
        record.encryption = encryption.empty() ? kEncryptionNone : ChoiceFromText(encryption, '2');
        // Detected at login unless the file names the server's encoding.
        const std::string names = ini.GetString("PROFILE", Key("NAMEENCODING", n));
        record.nameEncoding = names.empty() ? kNameEncodingAuto : ChoiceFromText(names, '3');
        if (record.providerName.empty()) {
            result.skipped.push_back({n, "プロバイダ名がありません。"});
            continue;
        }
        if (record.port < kMinPort || record.port > kMaxPort) {
            result.skipped.push_back({n, "接続ポート番号「" + ini.GetString("PROFILE", Key("PORT", n)) + "」は使えません(" +
                                             std::to_string(kMinPort) + "～" + std::to_string(kMaxPort) + ")。"});
            continue;
        }
        if (record.encryption < 0) {
            result.skipped.push_back({n, "暗号化「" + encryption + "」は使えません(0、1、2)。"});
            continue;
        }
        if (record.nameEncoding < 0) {
            result.skipped.push_back({n, "ファイル名の文字コード「" + names + "」は使えません(0、1、2、3)。"});
            continue;
        }
        const std::string& p = record.providerName;
        const std::int32_t lines =
            std::min(ini.GetInt("AUTOTRANSFER", p), ini.HighestIndex("AUTOTRANSFER", p));
        for (std::int32_t j = 1; j <= lines; ++j) {
            std::string dir, ext;
            if (SplitRoutingLine(ini.GetString("AUTOTRANSFER", Key(p.c_str(), j)), dir, ext))
                record.autoTransfer.emplace_back(ext, dir);
        }
        if (std::string problem = ProviderRecordProblem(record); !problem.empty()) {
            result.skipped.push_back({n, problem});
            continue;
        }
        if (TakesTransferEntryName(record.directory)) {
            result.skipped.push_back({n, "移動するディレクトリ「" + record.directory + "」は拡張子別転送の項目と同じ名前になるため使えません。"});
            continue;
        }
        if (progress && !progress(n, last)) return Fail(Status::kStopped, "読込を中止しました。");
        if (winreg::LONG rc = SaveProviderEntry(record); rc != winreg::ERROR_SUCCESS)
            return Fail(Status::kStoreFailed, "プロバイダ「" + p + "」を書き込めません(" + std::to_string(rc) + ")。");
        result.providers.push_back(p);
    }
    if (winreg::LONG rc = transaction.Commit(); rc != winreg::ERROR_SUCCESS)
        return Fail(Status::kStoreFailed, "設定を書き込めません(" + std::to_string(rc) + ")。");
    result.status = Status::kImported;
    return result;
}

}  // namespace settings
