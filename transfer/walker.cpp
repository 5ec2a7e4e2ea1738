#include "transfer/walker.h"

#include "common/registry/layout.h"
#include "platform/inet/inet.h"
#include "platform/os/os.h"
#include "transfer/extension_list.h"
#include "transfer/handoff.h"
#include "transfer/progress.h"
#include "transfer/transfer_mode.h"

#include <algorithm>
#include <chrono>
#include <dirent.h>
#include <thread>
#include <vector>

namespace transfer {

namespace {

std::function<void(int)> g_pause = [](int seconds) { std::this_thread::sleep_for(std::chrono::seconds(seconds)); };

struct Rule {
    std::string extensions;
    std::string directory;
};

// A "/"-separated path's components; empty ones (a leading or doubled "/") are not components.
std::vector<std::string> Components(const std::string& path) { return SplitNonEmpty(path, '/'); }

// Entries of a local folder, hidden ones included, in name order (the order
// the Windows file system gave, and a stable one for the user).
std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    for (auto& n : names) n = (folder.empty() || folder.back() != '/' ? folder + "/" : folder) + n;
    return names;
}

// The exception's message as the status line takes it: at most 259 bytes, not cut inside a character.
std::string Clip(std::string text) {
    if (text.size() > 259) {
        std::size_t n = 259;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
        text.resize(n);
    }
    return text;
}

class Walker {
public:
    explicit Walker(bool perExtension) : perExtension_(perExtension) {}

    int Run() {
        inet::InternetSession session;
        PublishSession(&session);
        struct Withdraw {
            ~Withdraw() { WithdrawConnection(); }  // before the session frees its connections
        } withdraw;
        layout::HandOff handOff;
        // Read and removed at once: a second transfer started meanwhile never sees the same selection.
        if (!TakeHandOff(handOff)) return FailWith("転送するファイルの指定を読み取れませんでした。", 2);
        work_ = handOff.paths;
        rootDir_ = handOff.rootDir;

        std::string server, user, password, root;
        winreg::DWORD port = 0;
        {
            SettingKey entry;
            entry.OpenKey(winreg::HKEY_CURRENT_USER,
                          layout::EntryKey(handOff.provider, perExtension_ ? layout::kAutoTransferEntry : handOff.entry));
            entry.ReadString(layout::kServerAddr, server);
            entry.ReadString(layout::kUserName, user);
            entry.ReadString(layout::kPassword, password);
            entry.ReadDword(layout::kPort, port);
            entry.ReadString(layout::kRoot, root);
        }
        if (perExtension_) {
            ReadRules(handOff.provider);
            Flatten();
        }

        ShowStatus(layout::Format("%sに接続しています...", server.c_str()));
        try {
            conn_ = session.GetFtpConnection(server, user, password, static_cast<std::uint16_t>(port & 0xFFFF), false);
        } catch (const inet::InternetException& e) {
            ShowStatus(Clip(e.ErrorMessage()));
            return End(2);
        }
        connected_ = layout::Format("%s接続完了しました", server.c_str());
        ShowStatus(connected_);
        if (!EnterRoot(root)) return 0;

        for (std::size_t i = 0; i < work_.size(); ++i) {
            if (ProgressDisplay* d = Progress()) {
                d->SetRange(0, static_cast<std::int32_t>(work_.size()));
                d->SetStep(1);
            }
            if (!Item(work_[i])) return 0;
            if (ProgressDisplay* d = Progress()) d->StepIt();
        }
        ShowStatus("ファイル転送完了しました");
        return End(2);
    }

private:
    bool perExtension_;
    std::vector<std::string> work_;
    std::vector<Rule> rules_;
    std::string rootDir_;
    std::string connected_;
    inet::FtpConnection* conn_ = nullptr;
    int levels_ = 0;  // directories entered below the base directory

    int End(int seconds) {
        if (ProgressDisplay* d = Progress()) d->RepaintStatus();
        // Closed under us: the dialog is gone and nobody reads the status any more.
        if (inet::GetLastInternetError() != inet::ERROR_INTERNET_OPERATION_CANCELLED) g_pause(seconds);
        if (ProgressDisplay* d = Progress()) d->EndDisplay();
        return 0;
    }

    int FailWith(const std::string& status, int seconds) {
        ShowStatus(status);
        return End(seconds);
    }

    int FailFtp(int seconds) {
        ShowInternetErrorText(inet::GetLastInternetError());
        return End(seconds);
    }

    void ReadRules(const std::string& provider) {
        SettingKey rules;
        if (rules.OpenKey(winreg::HKEY_CURRENT_USER, layout::AutoTransferKey(provider)) != 0) return;
        for (const std::string& name : layout::SubKeyNames(rules)) {
            SettingKey rule;
            if (rule.OpenKey(winreg::HKEY_CURRENT_USER, layout::AutoTransferRuleKey(provider, name)) != 0) break;
            Rule r;
            rule.ReadString(layout::kAutoTransferExt, r.extensions);
            rule.ReadString(layout::kAutoTransferDir, r.directory);
            rules_.push_back(r);
        }
    }

    void Flatten() {
        std::vector<std::string> files;
        for (std::size_t i = 0; i < work_.size(); ++i) {
            if (os::IsDirectory(work_[i])) {
                for (auto& e : FolderEntries(work_[i])) work_.push_back(e);
            } else if (os::Exists(work_[i])) {
                files.push_back(work_[i]);
            }
        }
        work_ = files;
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

    void ReturnToBase() {
        for (; levels_ > 0; --levels_) conn_->SetCurrentDirectory("../");
    }

    // Enters `dir`, creating it when it is missing.
    bool EnterOrCreate(const std::string& dir) {
        if (conn_->SetCurrentDirectory(dir)) return true;
        return conn_->CreateDirectory(layout::Format("./%s", dir.c_str())) && conn_->SetCurrentDirectory(dir);
    }

    // False when the walk has ended (the display is ended too).
    bool Item(const std::string& item) {
        if (perExtension_) return AutoFile(item);
        if (os::IsDirectory(item)) return Folder(item);
        // A path gone since the selection is not sent: an empty upload would
        // replace the server's copy with nothing.
        if (!os::Exists(item)) return true;
        return File(item);
    }

    bool Folder(const std::string& item) {
        ShowStatus("リモート側ディレクトリ検証中...");
        std::string relative = item.size() >= rootDir_.size() ? item.substr(rootDir_.size()) : item;
        for (const auto& c : Components(relative)) {
            if (!EnterOrCreate(c)) {
                FailWith(layout::Format("作成ディレクトリに移動できません...%s", c.c_str()), 2);
                return false;
            }
            ++levels_;
        }
        ReturnToBase();
        std::string current;
        conn_->GetCurrentDirectory(current);
        ShowStatus(layout::Format("現在のディレクトリ : %s", current.c_str()));
        ShowStatus("リモートディレクトリ検索中...");
        for (auto& e : FolderEntries(item)) work_.push_back(e);
        return true;
    }

    bool File(const std::string& item) {
        std::string relative = item.size() > rootDir_.size() ? item.substr(rootDir_.size() + 1) : item;
        ShowStatus(layout::Format("%s 処理中...", relative.c_str()));
        std::vector<std::string> parts = Components(relative);
        if (parts.empty()) return true;
        for (std::size_t k = 0; k + 1 < parts.size(); ++k) {
            if (!EnterOrCreate(parts[k])) {
                FailWith(layout::Format("ディレクトリ作成失敗...%s", parts[k].c_str()), 2);
                return false;
            }
            ++levels_;
        }
        if (!Put(item, layout::Format("./%s", parts.back().c_str()))) return false;
        ReturnToBase();
        return true;
    }

    bool AutoFile(const std::string& item) {
        os::PathParts p = os::SplitPath(item);
        std::string name = p.base + p.extension;
        ShowStatus(layout::Format("%s 処理中...", name.c_str()));
        // The rule's whole list text, not split at ';': an empty extension matches the first rule.
        std::string ext = UpperAscii(p.extension);
        for (const auto& r : rules_) {
            if (UpperAscii(r.extensions).find(ext) == std::string::npos) continue;
            ReturnToBase();
            for (const auto& c : Components(r.directory))
                if (conn_->SetCurrentDirectory(c)) ++levels_;  // never created: a missing one is skipped
            break;
        }
        return Put(item, layout::Format("./%s", name.c_str()));
    }

    bool Put(const std::string& item, const std::string& remote) {
        std::string sent = ConvertForUpload(item);
        if (ProgressDisplay* d = Progress()) d->PlayAnimation();
        int type = TransferTypeFor(item);
        bool ok = conn_->PutFile(sent, remote, static_cast<inet::DWORD>(type));
        // The copy goes after a failed upload too, and in both walkers: nothing else would remove it.
        RemoveTempCopy(sent);
        if (!ok) {
            FailFtp(3);
            return false;
        }
        return true;
    }
};

}  // namespace

void SetPauseFunction(std::function<void(int)> pause) { g_pause = std::move(pause); }

int PlainWalker(void*) { return Walker(false).Run(); }

int AutoTransferWalker(void*) { return Walker(true).Run(); }

}  // namespace transfer
