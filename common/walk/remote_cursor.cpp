#include "common/walk/remote_cursor.h"

namespace walk {

void RemoteCursor::SetBase() {
    basePwd_.clear();
    cwd_.clear();
    entered_.clear();
    made_.clear();
    present_.clear();
    missing_.clear();
    conn_->GetCurrentDirectory(basePwd_);
}

namespace {

// How many components two paths share from the start.
std::size_t Shared(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    std::size_t n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n]) ++n;
    return n;
}

}  // namespace

void RemoteCursor::Known(const RemotePath& path, bool present) {
    (present ? present_ : missing_).insert(path.Parts());
    (present ? missing_ : present_).erase(path.Parts());
}

void RemoteCursor::JumpToward(const std::vector<std::string>& target, bool create) {
    const std::size_t shared = Shared(cwd_, target);
    if (!Absolute()) return;
    // A directory about to be made may not exist yet: jump to its parent,
    // which does, unless the target is one we stood in or a listing showed.
    const bool exists = target.size() == shared || entered_.count(target) > 0 || present_.count(target) > 0;
    const std::vector<std::string> jump(target.begin(), target.end() - (create && !exists ? 1 : 0));
    // Straight down, the components are the surer way unless a listing showed where the jump lands.
    if (cwd_.size() == shared && present_.count(jump) == 0) return;
    const std::size_t stepwise = (cwd_.size() - shared) + (target.size() - shared);
    if (1 + (target.size() - jump.size()) >= stepwise) return;
    if (hooks.moving) hooks.moving();
    // A refusal leaves the server where it was: the moves step by step then take over.
    if (conn_->SetCurrentDirectory(RemotePath::Parse(basePwd_).Join(RemotePath(jump)).Text())) cwd_ = jump;
}

bool RemoteCursor::GoTo(const RemotePath& to, bool create, std::string& failed, bool skipMissing) {
    const std::vector<std::string>& target = to.Parts();
    JumpToward(target, create);
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
        std::vector<std::string> next = cwd_;
        next.push_back(dir);
        // Told missing: made without a CWD that would fail first. Made by
        // someone else since the listing, it is still entered below.
        const bool missing = create && missing_.erase(next) > 0;
        if (hooks.moving) hooks.moving();
        if (!missing && conn_->SetCurrentDirectory(dir)) {
            cwd_ = std::move(next);
            entered_.insert(cwd_);
            continue;
        }
        if (create) {
            if (hooks.creating) hooks.creating(dir);
            const bool made = conn_->CreateDirectory(InCurrentDirectory(dir));
            if ((made || missing) && conn_->SetCurrentDirectory(dir)) {
                cwd_ = std::move(next);
                entered_.insert(cwd_);
                if (made) made_.insert(cwd_);
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

std::string RemoteCursor::Name(const RemotePath& path) const {
    if (path.Empty()) return basePwd_;
    return basePwd_ + (basePwd_.empty() || basePwd_.back() != '/' ? "/" : "") + path.Text();
}

}  // namespace walk
