#include "common/walk/remote_cursor.h"

namespace walk {

void RemoteCursor::SetBase() {
    basePwd_.clear();
    cwd_.clear();
    conn_->GetCurrentDirectory(basePwd_);
}

bool RemoteCursor::GoTo(const RemotePath& to, bool create, std::string& failed, bool skipMissing) {
    const std::vector<std::string>& target = to.Parts();
    std::size_t common = 0;
    while (common < cwd_.size() && common < target.size() && cwd_[common] == target[common]) ++common;
    while (cwd_.size() > common) {
        if (hooks.moving) hooks.moving();
        if (conn_->SetCurrentDirectory("../")) {
            cwd_.pop_back();
            continue;
        }
        failed = "..";
        if (basePwd_.empty() || !conn_->SetCurrentDirectory(basePwd_)) return false;
        cwd_.clear();
        common = 0;
    }
    for (std::size_t k = common; k < target.size(); ++k) {
        const std::string& dir = target[k];
        if (hooks.moving) hooks.moving();
        if (conn_->SetCurrentDirectory(dir)) {
            cwd_.push_back(dir);
            continue;
        }
        if (create) {
            if (hooks.creating) hooks.creating(dir);
            if (conn_->CreateDirectory(InCurrentDirectory(dir)) && conn_->SetCurrentDirectory(dir)) {
                cwd_.push_back(dir);
                continue;
            }
        }
        if (create || !skipMissing) {
            failed = dir;
            return false;
        }
    }
    return true;
}

std::string RemoteCursor::Here() const {
    if (cwd_.empty()) return basePwd_;
    return basePwd_ + (basePwd_.empty() || basePwd_.back() != '/' ? "/" : "") + RemotePath(cwd_).Text();
}

}  // namespace walk
