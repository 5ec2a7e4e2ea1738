#include "transfer/menu_upload.h"

#include "common/registry/layout.h"
#include "common/walk/entry_connection.h"
#include "common/walk/remote_path.h"
#include "common/walk/transfer_mode.h"
#include "transfer/handoff.h"

#include <chrono>

namespace transfer {

std::optional<std::string> InternetErrorStatus(std::uint32_t code) {
    std::string text = inet::InternetErrorText(code);
    if (text.empty()) return std::string();
    if (code == inet::ERROR_INTERNET_EXTENDED_ERROR) {
        // The server's own words say more than "extended error"; with no reply kept, the line stays as it was.
        const std::string& reply = inet::GetLastResponseInfo();
        if (reply.empty()) return std::nullopt;
        return reply;
    }
    return text;
}

MenuUpload::MenuUpload(ProgressDisplay& display, std::function<void(int)> pause)
    : display_(display), pause_(std::move(pause)), walker_(*this) {}

void MenuUpload::Stop() {
    walker_.Stop();
    // Under the pause's lock: a pause that has just found the walker going cannot miss this wake-up.
    std::lock_guard<std::mutex> lock(pauseMu_);
    pauseCv_.notify_all();
}

void MenuUpload::Pause(int seconds) {
    if (pause_) return pause_(seconds);
    std::unique_lock<std::mutex> lock(pauseMu_);
    pauseCv_.wait_for(lock, std::chrono::seconds(seconds), [this] { return walker_.Stopped(); });
}

void MenuUpload::Status(const std::string& text) {
    display_.SetStatusText(text);
    display_.RepaintStatus();
}

void MenuUpload::ErrorStatus(inet::DWORD code) {
    if (std::optional<std::string> text = InternetErrorStatus(code)) Status(*text);
}

int MenuUpload::End(int seconds, bool succeeded) {
    display_.TransferEnded(succeeded);
    display_.RepaintStatus();
    // Closed under us: the dialog is gone and nobody reads the status any more.
    if (!walker_.Stopped() && inet::GetLastInternetError() != inet::ERROR_INTERNET_OPERATION_CANCELLED) Pause(seconds);
    display_.EndDisplay();
    return 0;
}

int MenuUpload::FailWith(const std::string& status, int seconds) {
    Status(status);
    return End(seconds, false);
}

namespace {

std::vector<ExtensionRule> ReadRules(const std::string& provider, std::string& unusable) {
    std::vector<ExtensionRule> rules;
    SettingKey key;
    if (key.OpenKey(winreg::HKEY_CURRENT_USER, layout::AutoTransferKey(provider)) != 0) return rules;
    for (const std::string& name : layout::SubKeyNames(key)) {
        SettingKey rule;
        if (rule.OpenKey(winreg::HKEY_CURRENT_USER, layout::AutoTransferRuleKey(provider, name)) != 0) break;
        ExtensionRule r;
        walk::ReadSetting(rule, layout::kAutoTransferExt, r.extensions, unusable);
        walk::ReadSetting(rule, layout::kAutoTransferDir, r.directory, unusable);
        rules.push_back(r);
    }
    return rules;
}

}  // namespace

int MenuUpload::Run() {
    walk::RemoveStaleTempFolders();
    layout::HandOff handOff;
    // Read and removed at once: a second transfer started meanwhile never sees the same selection.
    if (!TakeHandOff(handOff)) return FailWith("転送するファイルの指定を読み取れませんでした。", 2);
    // The walk follows the hand-off it took: another one may have been
    // first when the dialog looked, and another program took that.
    perExtension_ = handOff.entry == layout::kAutoTransferEntry;

    walk::EntryConnection entry = walk::ReadEntryConnection(handOff.provider, handOff.entry);
    const std::string& server = entry.server;
    std::string unusable = entry.unusable;
    std::vector<ExtensionRule> rules;
    if (perExtension_) rules = ReadRules(handOff.provider, unusable);
    // Logging in as anonymous or uploading into the login directory instead would put the files in the wrong place.
    if (!unusable.empty()) return FailWith(layout::Format("設定値 %s が長すぎて読めません", unusable.c_str()), 3);
    if (entry.passwordInKeyring) {
        // Here, with the dialog up: a keyring waiting for its unlock prompt shows why nothing moves yet.
        Status("キーリングからパスワードを読み込んでいます...");
        const std::string missing = walk::ObtainPassword(
            handOff.provider, handOff.entry, entry,
            [this](const std::string& provider, const std::string& host, const std::string& user,
                   std::string& password) { return display_.AskPassword(provider, host, user, password); });
        if (!missing.empty()) return FailWith(walk::Clip(missing), 3);
    }

    Status(layout::Format("%sに接続しています...", server.c_str()));
    std::string failure;
    inet::Security security = entry.security;
    inet::FtpConnection* conn = walk::ConnectTrusting(
        handOff.provider, security,
        [&](const inet::CertificateInfo& cert, const inet::Security& used) {
            return display_.AskTrustCertificate(server, cert, used);
        },
        [&](const inet::Security& used, std::string& why) {
            return walker_.Connect(server, entry.user, entry.password, entry.port, why, used, entry.names);
        },
        failure);
    if (!conn) {
        Status(walk::Clip(failure));
        return End(2, false);
    }
    display_.SetEncryption(walk::EncryptionState(security, conn));
    connected_ = layout::Format("%s接続完了しました", server.c_str()) + walk::EncryptionNote(security, conn);
    Status(connected_);
    if (!EnterRoot(conn, entry.root)) return 0;

    walker_.SetProvider(handOff.provider);
    const Outcome outcome = perExtension_ ? walker_.UploadByExtension(conn, handOff.rootDir, handOff.paths, rules)
                                          : walker_.UploadTree(conn, handOff.rootDir, handOff.paths);
    if (outcome == Outcome::Failed || outcome == Outcome::Aborted) return End(haltPause_, false);
    const int skipped = walker_.SkippedCount();
    display_.SetCurrentItem(skipped > 0 ? walker_.FirstSkipped() : std::string());
    if (skipped > 0)
        return FailWith(layout::Format("%d 個の項目を送れませんでした(最初: %s)", skipped, walker_.FirstSkipped().c_str()),
                        3);
    std::string done = "ファイル転送完了しました";
    if (walker_.ChangedOnly()) done += "。" + ChangedOnlyText(walker_.SentCount(), walker_.UpToDateCount());
    Status(done);
    return End(2, true);
}

bool MenuUpload::EnterRoot(inet::FtpConnection* conn, const std::string& root) {
    const walk::RemotePath path = walk::RemotePath::Parse(root);
    if (perExtension_) {
        Status("ディレクトリ移動中...");
        for (const auto& c : path.Parts()) conn->SetCurrentDirectory(c);  // skipped when it fails
        return true;
    }
    if (root.empty()) return true;
    if (path.Absolute()) {
        if (!conn->SetCurrentDirectory(root)) {
            FailWith(layout::Format("上位ディレクトリ(%s)へは移動できません", root.c_str()), 2);
            return false;
        }
    } else {
        for (const auto& c : path.Parts()) {
            if (!conn->SetCurrentDirectory(c)) {
                ErrorStatus(inet::GetLastInternetError());
                End(3, false);
                return false;
            }
        }
    }
    Status(connected_);
    return true;
}

void MenuUpload::Item(int count, const std::string& shown) {
    display_.SetRange(0, count);
    display_.SetStep(1);
    display_.SetCurrentItem(shown);
}

void MenuUpload::FolderStarted() { Status("リモート側ディレクトリ検証中..."); }

void MenuUpload::FolderEntered(const std::string& here) {
    Status(layout::Format("現在のディレクトリ : %s", here.c_str()));
    Status("リモートディレクトリ検索中...");
}

void MenuUpload::FileStarted(const std::string&, const std::string& shown) {
    Status(layout::Format("%s 処理中...", shown.c_str()));
}

void MenuUpload::Converting(const std::string& text) { Status(text); }

void MenuUpload::Sending() { display_.PlayAnimation(); }

void MenuUpload::ItemDone() { display_.StepIt(); }

void MenuUpload::Skipped(const std::string& text, walk::Skip) { Status(text); }

void MenuUpload::Halted(Halt why, const std::string& name, inet::DWORD code) {
    switch (why) {
    case Halt::FolderNotEntered:
        Status(layout::Format("作成ディレクトリに移動できません...%s", name.c_str()));
        haltPause_ = 2;
        break;
    case Halt::ParentNotMade:
        Status(layout::Format("ディレクトリ作成失敗...%s", name.c_str()));
        haltPause_ = 2;
        break;
    case Halt::FtpError:
        ErrorStatus(code);
        haltPause_ = 3;
        break;
    }
}

}  // namespace transfer
