// FtpFileFind: one listing (MLSD or LIST) read whole and stepped through.
#include "platform/inet/connection_impl.h"

#include <fnmatch.h>

#include <ctime>
#include <string_view>

namespace inet {

using namespace detail;

namespace {

// A name holding NUL never matches a narrowing mask: fnmatch would see
// only the part before the NUL. "*" and "*.*" list it like any other.
bool MatchesMask(const std::string& mask, const std::string& name) {
    return name.find('\0') == std::string::npos && ::fnmatch(mask.c_str(), name.c_str(), 0) == 0;
}

}  // namespace

FtpFileFind::FtpFileFind(FtpConnection* connection, DWORD) : connection_(connection) {}

FtpFileFind::~FtpFileFind() { Close(); }

void FtpFileFind::Close() {
    entries_.clear();
    next_ = 0;
    hasCurrent_ = false;
}

bool FtpFileFind::FindFile(const std::string& patternIn, DWORD flags) {
    Close();
    exactTimes_ = false;
    std::string pattern = patternIn.empty() ? "*.*" : patternIn;
    std::size_t slash = pattern.find_last_of('/');
    std::string dir = slash == std::string::npos ? std::string() : pattern.substr(0, slash);
    std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    if (slash == 0) dir = "/";
    FtpConnection::Impl* impl = connection_ ? connection_->impl_.get() : nullptr;
    std::vector<ListEntry> found;
    bool ok = Guarded(impl, [&] {
        RequireClean(pattern);
        bool wildcard = mask.find_first_of("*?[") != std::string::npos;
        std::string arg = slash == std::string::npos ? (wildcard ? "" : mask) : (wildcard ? dir : pattern);
        bool mlsd = impl->mlsd && (wildcard || arg.empty()) && !(flags & FTP_FIND_FLAG_LIST);
        const std::string serverArg = impl->ToServer(arg);
        auto command = [&] { return (mlsd ? "MLSD" : "LIST") + (serverArg.empty() ? std::string() : " " + serverArg); };
        try {
            impl->OpenData(command(), FTP_TRANSFER_TYPE_ASCII);
        } catch (const Failure&) {
            // Some servers announce MLST in FEAT and then refuse MLSD as
            // unknown or unimplemented: list with LIST from now on.
            int refusal = impl->transferRefusal;
            if (!mlsd || (refusal != 500 && refusal != 501 && refusal != 502 && refusal != 504)) throw;
            impl->CloseData();
            impl->mlsd = false;
            mlsd = false;
            impl->OpenData(command(), FTP_TRANSFER_TYPE_ASCII);
        }
        std::string text = impl->ReceiveAll(kMaxListing);
        impl->FinishData();
        std::time_t now = std::time(nullptr);
        std::size_t pos = 0, read = 0;
        bool unreadable = false;
        while (pos < text.size()) {
            // Lines end at LF; the parsers drop the CR before it, and any
            // other CR or NUL stays in the name.
            std::size_t nl = text.find('\n', pos);
            std::string_view line(text.data() + pos, (nl == std::string::npos ? text.size() : nl) - pos);
            pos = nl == std::string::npos ? text.size() : nl + 1;
            ListEntry e;
            if (!(mlsd ? ParseMlsdLine(line, e) : ParseListLine(line, now, e))) {
                unreadable = unreadable || !IsListingFiller(line);  // one unreadable line among good ones is skipped
                continue;
            }
            ++read;
            e.name = impl->FromServer(e.name);
            if (wildcard && mask != "*.*" && mask != "*" && !MatchesMask(mask, e.name)) continue;
            found.push_back(std::move(e));
        }
        if (read == 0 && unreadable) Throw(ERROR_FTP_LISTING_UNREADABLE);
        exactTimes_ = mlsd;
    });
    if (!ok) return false;
    if (found.empty()) {
        SetLastInternetError(ERROR_NO_MORE_FILES);
        return false;
    }
    entries_ = std::move(found);
    directory_ = dir;
    directoryKnown_ = !dir.empty();
    return true;
}

bool FtpFileFind::FindNextFile() {
    if (next_ >= entries_.size()) {
        SetLastInternetError(ERROR_NO_MORE_FILES);
        return false;
    }
    current_ = entries_[next_++];
    hasCurrent_ = true;
    if (next_ < entries_.size()) return true;
    SetLastInternetError(ERROR_NO_MORE_FILES);
    return false;
}

std::string FtpFileFind::GetFileName() const { return hasCurrent_ ? current_.name : std::string(); }

std::string FtpFileFind::GetFilePath() const {
    if (!hasCurrent_) return {};
    if (!directoryKnown_ && connection_ && connection_->GetCurrentDirectory(directory_)) directoryKnown_ = true;
    if (!directoryKnown_) return current_.name;
    if (directory_.empty() || directory_.back() == '/') return directory_ + current_.name;
    return directory_ + "/" + current_.name;
}

bool FtpFileFind::IsDirectory() const { return hasCurrent_ && current_.directory; }
bool FtpFileFind::IsLink() const { return hasCurrent_ && current_.link; }
bool FtpFileFind::IsDots() const { return hasCurrent_ && (current_.name == "." || current_.name == ".."); }
std::uint64_t FtpFileFind::GetLength() const { return hasCurrent_ ? current_.size : 0; }
std::int64_t FtpFileFind::GetLastWriteTime() const { return hasCurrent_ ? current_.mtime : 0; }

}  // namespace inet
