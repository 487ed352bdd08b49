#include "type_library.h"

#include <mutex>
#include <string>

#include "quillmoor.h"
#include "server_module.h"

namespace quillmoor::driver {
namespace {

// The library from the DLL itself, else from the .tlb of the same name.
HRESULT LoadOwnTypeLibrary(ITypeLib** library, std::wstring& loadedFrom)
{
    wchar_t path[MAX_PATH];
    if (!ModulePath(path, MAX_PATH)) return HRESULT_FROM_WIN32(GetLastError());
    loadedFrom = path;
    HRESULT result = LoadTypeLibEx(loadedFrom.c_str(), REGKIND_NONE, library);
    if (SUCCEEDED(result)) return result;

    const size_t dot = loadedFrom.rfind(L'.');
    const size_t slash = loadedFrom.find_last_of(L"\\/:");
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash))
        loadedFrom.erase(dot);
    loadedFrom += L".tlb";
    return LoadTypeLibEx(loadedFrom.c_str(), REGKIND_NONE, library);
}

std::mutex typeInfoMutex;
ITypeLib* cachedLibrary = nullptr;
ITypeInfo* cachedFocuserInfo = nullptr;
ITypeInfo* cachedFilterWheelInfo = nullptr;

// The objects dispatch through their current interfaces, which carry the
// old members too.
ITypeInfo** SlotFor(REFIID iid)
{
    if (IsEqualIID(iid, IID_IFocuserV3)) return &cachedFocuserInfo;
    if (IsEqualIID(iid, IID_IFilterWheelV2)) return &cachedFilterWheelInfo;
    return nullptr;
}

}  // namespace

HRESULT RegisterOwnTypeLibrary()
{
    ITypeLib* library = nullptr;
    std::wstring path;
    HRESULT result = LoadOwnTypeLibrary(&library, path);
    if (FAILED(result)) return result;
    std::wstring helpDirectory = path.substr(0, path.find_last_of(L"\\/:") + 1);
    result = RegisterTypeLib(library, path.data(), helpDirectory.data());
    library->Release();
    return result;
}

void UnregisterOwnTypeLibrary()
{
    ITypeLib* library = nullptr;
    std::wstring path;
    if (FAILED(LoadOwnTypeLibrary(&library, path))) return;
    TLIBATTR* attributes = nullptr;
    if (SUCCEEDED(library->GetLibAttr(&attributes))) {
        using UnRegisterFunction = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
        if (HMODULE oleaut = LoadLibraryW(L"oleaut32.dll")) {
            auto unregister = reinterpret_cast<UnRegisterFunction>(
                reinterpret_cast<void*>(GetProcAddress(oleaut, "UnRegisterTypeLib")));
            if (unregister)
                unregister(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                           attributes->lcid, attributes->syskind);
            FreeLibrary(oleaut);
        }
        library->ReleaseTLibAttr(attributes);
    }
    library->Release();
}

HRESULT CachedTypeInfo(REFIID iid, ITypeInfo** info)
{
    *info = nullptr;
    ITypeInfo** slot = SlotFor(iid);
    if (!slot) return TYPE_E_ELEMENTNOTFOUND;
    std::lock_guard lock(typeInfoMutex);
    if (!*slot) {
        if (!cachedLibrary) {
            const HRESULT result = LoadRegTypeLib(LIBID_QuillmoorLib, 1, 0, 0, &cachedLibrary);
            if (FAILED(result)) return result;
        }
        const HRESULT result = cachedLibrary->GetTypeInfoOfGuid(iid, slot);
        if (FAILED(result)) return result;
    }
    *info = *slot;
    return S_OK;
}

void ReleaseCachedTypeInfo()
{
    std::lock_guard lock(typeInfoMutex);
    for (ITypeInfo** slot : {&cachedFocuserInfo, &cachedFilterWheelInfo}) {
        if (*slot) (*slot)->Release();
        *slot = nullptr;
    }
    if (cachedLibrary) cachedLibrary->Release();
    cachedLibrary = nullptr;
}

}  // namespace quillmoor::driver
