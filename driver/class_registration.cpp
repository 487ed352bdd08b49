#include "class_registration.h"

#include <string>
#include <vector>

namespace quillmoor::driver {
namespace {

struct RegistryValue {
    std::wstring name;  // empty: the key's default value
    std::wstring data;
};

struct KeySpec {
    std::wstring name;
    std::vector<RegistryValue> values;
    std::vector<KeySpec> children;
    bool replaceOnRegister = false;  // deleted with its subtree before it is written
    bool keepOnUnregister = false;
};

std::vector<KeySpec> ClassKeys(const ClassRegistration& entry, const wchar_t* modulePath)
{
    const std::wstring clsid = entry.clsid;
    const std::wstring description = entry.description;
    auto progIdKey = [&](const wchar_t* progId) {
        return KeySpec{progId, {{L"", description}}, {{L"CLSID", {{L"", clsid}}, {}}}};
    };
    KeySpec classKey{clsid,
                     {{L"", description}},
                     {{L"ProgID", {{L"", entry.progId}}, {}},
                      {L"VersionIndependentProgID", {{L"", entry.versionIndependentProgId}}, {}},
                      {L"InprocServer32",
                       {{L"", modulePath ? modulePath : L""}, {L"ThreadingModel", L"both"}},
                       {}}},
                     /*replaceOnRegister=*/true};
    KeySpec clsidRoot{L"CLSID", {}, {classKey}, false, /*keepOnUnregister=*/true};
    return {progIdKey(entry.progId), progIdKey(entry.versionIndependentProgId), clsidRoot};
}

// Deletes a key and every key below it.
void DeleteTree(HKEY parent, const std::wstring& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    std::vector<std::wstring> children;
    wchar_t child[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = ARRAYSIZE(child);
        if (RegEnumKeyExW(key, index, child, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        children.emplace_back(child, length);
    }
    for (const std::wstring& childName : children) DeleteTree(key, childName);
    RegCloseKey(key);
    RegDeleteKeyW(parent, name.c_str());
}

HRESULT WriteKey(HKEY parent, const KeySpec& spec)
{
    if (spec.replaceOnRegister) DeleteTree(parent, spec.name);
    HKEY key = nullptr;
    if (RegCreateKeyExW(parent, spec.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return DISP_E_EXCEPTION;
    HRESULT result = S_OK;
    for (const RegistryValue& value : spec.values) {
        const DWORD bytes = static_cast<DWORD>((value.data.size() + 1) * sizeof(wchar_t));
        if (RegSetValueExW(key, value.name.empty() ? nullptr : value.name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(value.data.c_str()),
                           bytes) != ERROR_SUCCESS)
            result = DISP_E_EXCEPTION;
    }
    for (const KeySpec& child : spec.children) {
        if (FAILED(result)) break;
        result = WriteKey(key, child);
    }
    RegCloseKey(key);
    return result;
}

bool HasSubkeys(HKEY key)
{
    DWORD subkeys = 0;
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
           subkeys > 0;
}

void RemoveKey(HKEY parent, const KeySpec& spec)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, spec.name.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    for (const KeySpec& child : spec.children) RemoveKey(key, child);
    for (const RegistryValue& value : spec.values)
        RegDeleteValueW(key, value.name.empty() ? nullptr : value.name.c_str());
    const bool removable = !spec.keepOnUnregister && !HasSubkeys(key);
    RegCloseKey(key);
    if (removable) RegDeleteKeyW(parent, spec.name.c_str());
}

}  // namespace

HRESULT RegisterClassKeys(const ClassRegistration& entry, const wchar_t* modulePath)
{
    for (const KeySpec& spec : ClassKeys(entry, modulePath)) {
        const HRESULT result = WriteKey(HKEY_CLASSES_ROOT, spec);
        if (FAILED(result)) return result;
    }
    return S_OK;
}

void UnregisterClassKeys(const ClassRegistration& entry)
{
    for (const KeySpec& spec : ClassKeys(entry, nullptr)) RemoveKey(HKEY_CLASSES_ROOT, spec);
}

}  // namespace quillmoor::driver
