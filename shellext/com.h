// The few COM shapes the file-manager module speaks: result codes, GUIDs,
// IUnknown, the class factory, shell-extension initialisation and the
// context menu. The hosts (the GNOME Files glue, parvex-menu, regsvr32 and
// the tests) reach the module only through these and its exported entry points.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace com {

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using UINT = std::uint32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);
inline constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201);  // the class entries could not be written

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr HRESULT MAKE_HRESULT(unsigned severity, unsigned facility, unsigned code) {
    return static_cast<HRESULT>((severity << 31) | (facility << 16) | (code & 0xFFFF));
}
constexpr unsigned HRESULT_CODE(HRESULT hr) { return static_cast<unsigned>(hr) & 0xFFFF; }

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
    friend bool operator==(const GUID& a, const GUID& b) {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
        for (int i = 0; i < 8; ++i)
            if (a.Data4[i] != b.Data4[i]) return false;
        return true;
    }
};
using IID = GUID;
using CLSID = GUID;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": 38 characters.
inline std::string GuidText(const GUID& g) {
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

// The interface ids Windows gives these interfaces.
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IShellExtInit = {0x000214E8, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IContextMenu = {0x000214E4, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDataObject = {0x0000010E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class IUnknown {
public:
    virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;  // objects go away through Release
};

class IClassFactory : public IUnknown {
public:
    virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
    virtual HRESULT LockServer(bool lock) = 0;

protected:
    ~IClassFactory() = default;
};

// The selection, as the file-drop format carries it: DragQueryFile's shape.
class IDataObject : public IUnknown {
public:
    // With index 0xFFFFFFFF: the number of paths. Otherwise copies path
    // `index` into `buffer` (at most `size` bytes with its terminator) and
    // returns its length, or 0 when there is no such path.
    virtual UINT DragQueryFile(UINT index, char* buffer, UINT size) = 0;

protected:
    ~IDataObject() = default;
};

class Menu;  // shellext/menu.h

inline constexpr UINT CMF_NORMAL = 0;
inline constexpr UINT GCS_VERBA = 0;
inline constexpr UINT GCS_HELPTEXTA = 1;
inline constexpr UINT CMIC_MASK_SHIFT_DOWN = 0x10000000;
inline constexpr UINT CMIC_MASK_CONTROL_DOWN = 0x40000000;
inline constexpr int SW_SHOW = 5;

struct CMINVOKECOMMANDINFO {
    UINT cbSize = sizeof(CMINVOKECOMMANDINFO);
    UINT fMask = 0;          // CMIC_MASK_SHIFT_DOWN / CMIC_MASK_CONTROL_DOWN: the keys held at the click
    const char* lpVerb = nullptr;  // a text verb, or a command offset made with MAKEINTRESOURCE
    int nShow = SW_SHOW;
};

// A command offset passed where a verb text may stand.
inline const char* MAKEINTRESOURCE(UINT offset) {
    return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(offset & 0xFFFF));
}
inline bool IS_INTRESOURCE(const char* verb) { return (reinterpret_cast<std::uintptr_t>(verb) >> 16) == 0; }

class IShellExtInit : public IUnknown {
public:
    virtual HRESULT Initialize(const char* folder, IDataObject* data, void* progIdKey) = 0;

protected:
    ~IShellExtInit() = default;
};

class IContextMenu : public IUnknown {
public:
    // Adds the handler's items to `menu` at position `index`, with command ids
    // from `idCmdFirst`; the result's code part is the number of ids used.
    virtual HRESULT QueryContextMenu(Menu* menu, UINT index, UINT idCmdFirst, UINT idCmdLast, UINT flags) = 0;
    virtual HRESULT InvokeCommand(const CMINVOKECOMMANDINFO* info) = 0;
    virtual HRESULT GetCommandString(std::uintptr_t idCmd, UINT type, UINT* reserved, char* name, UINT size) = 0;

protected:
    ~IContextMenu() = default;
};

}  // namespace com

// The module's exported entry points, as hosts look them up with dlsym.
extern "C" {
using DllGetClassObjectFn = com::HRESULT (*)(const com::CLSID& clsid, const com::IID& iid, void** object);
using DllCanUnloadNowFn = com::HRESULT (*)();
using DllRegisterServerFn = com::HRESULT (*)();
using DllUnregisterServerFn = com::HRESULT (*)();
// Whether the handler is registered for a selection holding files
// (`files` non-zero) and/or folders (`folders` non-zero): 1 or 0.
using ParvexMenuOfferedFn = int (*)(int files, int folders);
}
