#include "common/walk/remote_path.h"

#include "common/walk/extension_list.h"

namespace walk {

RemotePath RemotePath::Parse(const std::string& text) {
    return RemotePath(SplitNonEmpty(text, '/'), !text.empty() && text[0] == '/');
}

RemotePath RemotePath::Parent() const {
    RemotePath parent = *this;
    if (!parent.parts_.empty()) parent.parts_.pop_back();
    return parent;
}

RemotePath RemotePath::Child(const std::string& name) const {
    RemotePath child = *this;
    child.parts_.push_back(name);
    return child;
}

RemotePath RemotePath::Join(const RemotePath& below) const {
    RemotePath joined = *this;
    joined.parts_.insert(joined.parts_.end(), below.parts_.begin(), below.parts_.end());
    return joined;
}

std::string RemotePath::Text() const {
    std::string text = absolute_ ? "/" : "";
    for (std::size_t i = 0; i < parts_.size(); ++i) text += (i ? "/" : "") + parts_[i];
    return text;
}

bool RemotePath::Sendable() const {
    for (const auto& p : parts_)
        if (p == "." || p == ".." || p.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return false;
    return true;
}

std::string InCurrentDirectory(const std::string& name) { return "./" + name; }

bool SafeName(const std::string& name) {
    return !name.empty() && name.size() <= 255 && name != "." && name != ".." &&
           name.find_first_of(std::string("/\\\r\n\0", 5)) == std::string::npos;
}

}  // namespace walk
