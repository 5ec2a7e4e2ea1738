// The selection handed to the context-menu handler: local paths in the
// file manager's order, offered in the file-drop shape.
#pragma once

#include "shellext/com.h"

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

namespace com {

class FileDropData final : public IDataObject {
public:
    explicit FileDropData(std::vector<std::string> paths) : paths_(std::move(paths)) {}

    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDataObject) {
            *object = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

    UINT DragQueryFile(UINT index, char* buffer, UINT size) override {
        if (index == 0xFFFFFFFF) return static_cast<UINT>(paths_.size());
        if (index >= paths_.size() || !buffer || size == 0) return 0;
        const std::string& p = paths_[index];
        std::size_t n = std::min<std::size_t>(p.size(), size - 1);
        std::memcpy(buffer, p.data(), n);
        buffer[n] = '\0';
        return static_cast<UINT>(n);
    }

private:
    ~FileDropData() = default;
    std::vector<std::string> paths_;
    std::atomic<ULONG> refs_{1};
};

}  // namespace com
