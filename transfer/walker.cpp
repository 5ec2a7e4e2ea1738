#include "transfer/walker.h"

#include "common/registry/layout.h"
#include "platform/inet/inet.h"
#include "platform/os/os.h"
#include "common/walk/extension_list.h"
#include "transfer/handoff.h"
#include "common/walk/local_tree.h"
#include "transfer/progress.h"
#include "common/walk/remote_cursor.h"
#include "common/walk/transfer_mode.h"

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace transfer {

using namespace walk;

namespace {

std::function<void(int)> g_pause = [](int seconds) { std::this_thread::sleep_for(std::chrono::seconds(seconds)); };

struct Rule {
    std::string extensions;
    std::string directory;
};

class Walker {
public:
    explicit Walker(bool perExtension) : perExtension_(perExtension) {}

    int Run() {
        RemoveStaleTempFolders();
        inet::InternetSession session;
        PublishSession(&session);
        struct Withdraw {
            ~Withdraw() { WithdrawConnection(); }  // before the session frees its connections
        } withdraw;
        layout::HandOff handOff;
        // Read and removed at once: a second transfer started meanwhile never sees the same selection.
        if (!TakeHandOff(handOff)) return FailWith("転送するファイルの指定を読み取れませんでした。", 2);
        // The walk follows the hand-off it took: another one may have been
        // first when the dialog looked, and another program took that.
        perExtension_ = handOff.entry == layout::kAutoTransferEntry;
        rootDir_ = handOff.rootDir;
        for (const auto& path : handOff.paths) items_.push_back(LocalItem{path});

        std::string server, user, password, root;
        winreg::DWORD port = 0;
        {
            SettingKey entry;
            entry.OpenKey(winreg::HKEY_CURRENT_USER,
                          layout::EntryKey(handOff.provider, perExtension_ ? layout::kAutoTransferEntry : handOff.entry));
            Read(entry, layout::kServerAddr, server);
            Read(entry, layout::kUserName, user);
            Read(entry, layout::kPassword, password);
            entry.ReadDword(layout::kPort, port);
            Read(entry, layout::kRoot, root);
        }
        if (perExtension_) ReadRules(handOff.provider);
        // Logging in as anonymous or uploading into the login directory instead would put the files in the wrong place.
        if (!unusable_.empty()) return FailWith(layout::Format("設定値 %s が長すぎて読めません", unusable_.c_str()), 3);
        if (perExtension_) Flatten();

        ShowStatus(layout::Format("%sに接続しています...", server.c_str()));
        try {
            conn_ = session.GetFtpConnection(server, user, password, static_cast<std::uint16_t>(port & 0xFFFF), false);
        } catch (const inet::InternetException& e) {
            ShowStatus(Clip(e.ErrorMessage()));
            return End(2, false);
        }
        connected_ = layout::Format("%s接続完了しました", server.c_str());
        ShowStatus(connected_);
        if (!EnterRoot(root)) return 0;
        cursor_ = std::make_unique<RemoteCursor>(conn_);
        cursor_->SetBase();

        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (ProgressDisplay* d = Progress()) {
                d->SetRange(0, static_cast<std::int32_t>(items_.size()));
                d->SetStep(1);
                d->SetCurrentItem(Printable(Relative(items_[i].path)));
            }
            if (!HandleItem(i)) return 0;
            if (ProgressDisplay* d = Progress()) d->StepIt();
        }
        if (ProgressDisplay* d = Progress()) d->SetCurrentItem(skipped_ > 0 ? firstSkipped_ : std::string());
        if (skipped_ > 0)
            return FailWith(layout::Format("%d 個の項目を送れませんでした(最初: %s)", skipped_, firstSkipped_.c_str()), 3);
        ShowStatus("ファイル転送完了しました");
        return End(2, true);
    }

private:
    bool perExtension_;
    LocalTree tree_;                 // the work list: the selection, then what its folders hold
    std::vector<LocalItem>& items_ = tree_.items;
    std::vector<Rule> rules_;
    std::string rootDir_;
    std::string connected_;
    std::string unusable_;  // the first setting too long to be read
    inet::FtpConnection* conn_ = nullptr;
    std::unique_ptr<RemoteCursor> cursor_;  // where the walker stands below the entry's directory
    int skipped_ = 0;
    std::string firstSkipped_;

    int End(int seconds, bool succeeded) {
        if (ProgressDisplay* d = Progress()) {
            d->TransferEnded(succeeded);
            d->RepaintStatus();
        }
        // Closed under us: the dialog is gone and nobody reads the status any more.
        if (inet::GetLastInternetError() != inet::ERROR_INTERNET_OPERATION_CANCELLED) g_pause(seconds);
        if (ProgressDisplay* d = Progress()) d->EndDisplay();
        return 0;
    }

    int FailWith(const std::string& status, int seconds) {
        ShowStatus(status);
        return End(seconds, false);
    }

    int FailFtp(int seconds) {
        ShowInternetErrorText(inet::GetLastInternetError());
        return End(seconds, false);
    }

    // Reads a string setting; a value too long to be read is remembered (the
    // first one) so that the transfer stops before anything is sent.
    void Read(SettingKey& key, const char* name, std::string& value) {
        if (key.ReadString(name, value) == winreg::ERROR_MORE_DATA && unusable_.empty()) unusable_ = name;
    }

    void ReadRules(const std::string& provider) {
        SettingKey rules;
        if (rules.OpenKey(winreg::HKEY_CURRENT_USER, layout::AutoTransferKey(provider)) != 0) return;
        for (const std::string& name : layout::SubKeyNames(rules)) {
            SettingKey rule;
            if (rule.OpenKey(winreg::HKEY_CURRENT_USER, layout::AutoTransferRuleKey(provider, name)) != 0) break;
            Rule r;
            Read(rule, layout::kAutoTransferExt, r.extensions);
            Read(rule, layout::kAutoTransferDir, r.directory);
            rules_.push_back(r);
        }
    }

    std::string Relative(const std::string& path) const { return RelativePath(rootDir_, path); }

    // Names the item in the status line and counts it as not sent; the walk goes on.
    bool Skipped(std::size_t i, Skip why) {
        std::string name = Printable(Relative(items_[i].path));
        ShowStatus(name + SkipText(why));
        if (skipped_++ == 0) firstSkipped_ = name;
        return true;
    }

    void Flatten() {
        std::vector<LocalItem> files;
        for (std::size_t i = 0; i < items_.size(); ++i) {
            bool folder = false;
            Skip why = tree_.Classify(i, folder);
            if (folder && tree_.Expand(i)) continue;
            files.push_back(items_[i]);
            files.back().skip = folder ? Skip::Unlistable : why;
        }
        items_ = std::move(files);
    }

    bool EnterRoot(const std::string& root) {
        if (perExtension_) {
            ShowStatus("ディレクトリ移動中...");
            for (const auto& c : Components(root)) conn_->SetCurrentDirectory(c);  // skipped when it fails
            return true;
        }
        if (root.empty()) return true;
        if (root[0] == '/') {
            if (!conn_->SetCurrentDirectory(root)) {
                FailWith(layout::Format("上位ディレクトリ(%s)へは移動できません", root.c_str()), 2);
                return false;
            }
        } else {
            for (const auto& c : Components(root)) {
                if (!conn_->SetCurrentDirectory(c)) {
                    FailFtp(3);
                    return false;
                }
            }
        }
        ShowStatus(connected_);
        return true;
    }

    // False when the walk has ended (the display is ended too).
    bool HandleItem(std::size_t i) {
        if (perExtension_) return items_[i].skip != Skip::None ? Skipped(i, items_[i].skip) : AutoFile(i);
        bool folder = false;
        Skip why = tree_.Classify(i, folder);
        if (why != Skip::None) return Skipped(i, why);
        return folder ? Folder(i) : File(i);
    }

    bool Folder(std::size_t i) {
        ShowStatus("リモート側ディレクトリ検証中...");
        std::vector<std::string> parts = Components(Relative(items_[i].path));
        if (!Sendable(parts)) return Skipped(i, Skip::BadName);
        // Listed before the remote directory is made: a folder that cannot be read is not created empty.
        std::vector<std::string> entries;
        if (!FolderEntries(items_[i].path, entries)) return Skipped(i, Skip::Unlistable);
        std::string failed;
        if (!cursor_->GoTo(parts, true, failed)) {
            FailWith(layout::Format("作成ディレクトリに移動できません...%s", failed.c_str()), 2);
            return false;
        }
        ShowStatus(layout::Format("現在のディレクトリ : %s", cursor_->Here().c_str()));
        ShowStatus("リモートディレクトリ検索中...");
        for (auto& e : entries) items_.push_back(LocalItem{std::move(e), static_cast<long>(i)});
        return true;
    }

    bool File(std::size_t i) {
        std::string relative = Relative(items_[i].path);
        ShowStatus(layout::Format("%s 処理中...", Printable(relative).c_str()));
        std::vector<std::string> parts = Components(relative);
        if (parts.empty() || !Sendable(parts)) return Skipped(i, Skip::BadName);
        std::string failed;
        if (!cursor_->GoTo(std::vector<std::string>(parts.begin(), parts.end() - 1), true, failed)) {
            FailWith(layout::Format("ディレクトリ作成失敗...%s", failed.c_str()), 2);
            return false;
        }
        return Put(i, layout::Format("./%s", parts.back().c_str()));
    }

    bool AutoFile(std::size_t i) {
        os::PathParts p = os::SplitPath(items_[i].path);
        std::string name = p.base + p.extension;
        ShowStatus(layout::Format("%s 処理中...", Printable(name).c_str()));
        if (!Sendable({name})) return Skipped(i, Skip::BadName);
        for (const auto& r : rules_) {
            if (!ExtensionListed(p.extension, r.extensions)) continue;
            // Never created: a missing directory is skipped and the file goes where the walker got to. "." and
            // ".." are skipped too: the walker keeps track of where it stands by the names it entered.
            std::vector<std::string> target;
            for (auto& c : Components(r.directory))
                if (c != "." && c != "..") target.push_back(std::move(c));
            std::string failed;
            if (!cursor_->GoTo(target, false, failed)) {
                FailFtp(3);
                return false;
            }
            break;
        }
        return Put(i, layout::Format("./%s", name.c_str()));
    }

    bool Put(std::size_t i, const std::string& remote) {
        const std::string item = items_[i].path;
        std::string sent;
        if (!ConvertForUpload(item, sent, ShowStatus)) return Skipped(i, Skip::NotConverted);
        if (ProgressDisplay* d = Progress()) d->PlayAnimation();
        int type = TransferTypeFor(item);
        bool ok = conn_->PutFile(sent, remote, static_cast<inet::DWORD>(type));
        inet::DWORD error = inet::GetLastInternetError();
        // The copy goes after a failed upload too, and in both walkers: nothing else would remove it.
        RemoveTempCopy(sent);
        if (ok) return true;
        // Refused before anything went to the server: this item is left out, the rest still goes.
        if (error == inet::ERROR_INVALID_NAME) return Skipped(i, Skip::BadName);
        if (error == inet::ERROR_FILE_NOT_FOUND) return Skipped(i, Skip::Unreadable);
        FailFtp(3);
        return false;
    }
};

}  // namespace

void SetPauseFunction(std::function<void(int)> pause) { g_pause = std::move(pause); }

int PlainWalker(void*) { return Walker(false).Run(); }

int AutoTransferWalker(void*) { return Walker(true).Run(); }

}  // namespace transfer
