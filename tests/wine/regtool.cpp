// Reads and writes the registry of a Wine prefix exactly: value types and
// empty strings survive, which `wine reg query` loses.
//
//   regtool dump KEY          every key below KEY, then its values, sorted:
//                               [KEY\sub]
//                               "name"=TYPE:data      (default value: @)
//   regtool set KEY NAME sz|dword DATA
//   regtool mkkey KEY
//   regtool delete KEY        the key with everything below it
//   regtool sddl KEY          the key's access list (DACL) as SDDL text
//
// KEY starts with HKCR, HKLM, or HKCR32 / HKLM32 (the 32-bit view).
#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Root {
    HKEY key;
    REGSAM view;
    std::wstring rest;
};

bool SplitRoot(const std::wstring& path, Root& root)
{
    const size_t slash = path.find(L'\\');
    const std::wstring head = path.substr(0, slash);
    root.rest = slash == std::wstring::npos ? L"" : path.substr(slash + 1);
    root.view = 0;
    if (head == L"HKCR") root.key = HKEY_CLASSES_ROOT;
    else if (head == L"HKLM") root.key = HKEY_LOCAL_MACHINE;
    else if (head == L"HKLM32") root.key = HKEY_LOCAL_MACHINE, root.view = KEY_WOW64_32KEY;
    else if (head == L"HKCR32") root.key = HKEY_CLASSES_ROOT, root.view = KEY_WOW64_32KEY;
    else return false;
    return true;
}

std::string Utf8(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::string FormatValue(DWORD type, const std::vector<BYTE>& data)
{
    char buffer[64];
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2);
        // The stored terminator is part of the data; show whether it is there.
        const bool terminated = !text.empty() && text.back() == L'\0';
        if (terminated) text.pop_back();
        return (type == REG_SZ ? "sz:\"" : "expand_sz:\"") + Utf8(text) + "\"" +
               (terminated ? "" : " (unterminated)");
    }
    case REG_DWORD:
        if (data.size() == 4) {
            std::snprintf(buffer, sizeof buffer, "dword:%08lx",
                          static_cast<unsigned long>(*reinterpret_cast<const DWORD*>(data.data())));
            return buffer;
        }
        [[fallthrough]];
    default: {
        std::snprintf(buffer, sizeof buffer, "hex(%lu):", static_cast<unsigned long>(type));
        std::string out = buffer;
        for (size_t i = 0; i < data.size(); ++i) {
            std::snprintf(buffer, sizeof buffer, i ? ",%02x" : "%02x", data[i]);
            out += buffer;
        }
        return out;
    }
    }
}

void Dump(HKEY key, const std::wstring& path)
{
    std::printf("[%s]\n", Utf8(path).c_str());
    std::vector<std::pair<std::wstring, std::string>> values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD nameLength = ARRAYSIZE(name), type = 0, size = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(size);
        nameLength = ARRAYSIZE(name);
        RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size);
        data.resize(size);
        values.emplace_back(name, FormatValue(type, data));
    }
    std::sort(values.begin(), values.end());
    for (const auto& [name, text] : values)
        std::printf("%s=%s\n", name.empty() ? "@" : ("\"" + Utf8(name) + "\"").c_str(), text.c_str());

    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD nameLength = ARRAYSIZE(name);
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.emplace_back(name);
    }
    std::sort(children.begin(), children.end());
    for (const std::wstring& child : children) {
        HKEY sub = nullptr;
        if (RegOpenKeyExW(key, child.c_str(), 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
        Dump(sub, path + L"\\" + child);
        RegCloseKey(sub);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) return 2;
    const std::wstring command = argv[1];
    Root root;
    if (!SplitRoot(argv[2], root)) return 2;

    if (command == L"dump") {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root.key, root.rest.c_str(), 0, KEY_READ | root.view, &key) != ERROR_SUCCESS) {
            std::printf("[%s] missing\n", Utf8(argv[2]).c_str());
            return 1;
        }
        Dump(key, argv[2]);
        RegCloseKey(key);
        return 0;
    }

    if (command == L"sddl") {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root.key, root.rest.c_str(), 0, READ_CONTROL | root.view, &key) != ERROR_SUCCESS) return 1;
        DWORD size = 0;
        RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
        std::vector<BYTE> descriptor(size ? size : 1);
        wchar_t* text = nullptr;
        const bool ok = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.data(), &size) == ERROR_SUCCESS &&
                        ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1,
                                                                             DACL_SECURITY_INFORMATION, &text, nullptr);
        RegCloseKey(key);
        if (!ok) return 1;
        std::printf("%s\n", Utf8(text).c_str());
        LocalFree(text);
        return 0;
    }

    if (command == L"delete") {
        HKEY key = nullptr;
        LONG status = RegOpenKeyExW(root.key, root.rest.c_str(), 0, KEY_ALL_ACCESS | root.view, &key);
        if (status == ERROR_FILE_NOT_FOUND) return 0;
        if (status != ERROR_SUCCESS) return 1;
        status = RegDeleteTreeW(key, nullptr);
        RegCloseKey(key);
        if (status == ERROR_SUCCESS) status = RegDeleteKeyExW(root.key, root.rest.c_str(), root.view, 0);
        return status == ERROR_SUCCESS ? 0 : 1;
    }

    HKEY key = nullptr;
    if (RegCreateKeyExW(root.key, root.rest.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | root.view,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 1;
    LONG status = ERROR_SUCCESS;
    if (command == L"set" && argc == 6) {
        const std::wstring type = argv[4];
        if (type == L"sz") {
            const std::wstring data = argv[5];
            status = RegSetValueExW(key, argv[3], 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                    static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
        } else if (type == L"dword") {
            const DWORD data = static_cast<DWORD>(std::wcstol(argv[5], nullptr, 0));
            status = RegSetValueExW(key, argv[3], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), 4);
        } else {
            status = ERROR_INVALID_PARAMETER;
        }
    } else if (command != L"mkkey") {
        status = ERROR_INVALID_PARAMETER;
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : 1;
}
