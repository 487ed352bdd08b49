#include "harness.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "rendezvous.h"

namespace dialog_tests {

bool Report::That(bool condition, const std::string& what, const std::string& detail)
{
    if (!condition) ++failures_;
    std::printf("%s dialogs: %s%s%s\n", condition ? "ok" : "FAIL", what.c_str(),
                condition || detail.empty() ? "" : " -- ", condition ? "" : detail.c_str());
    std::fflush(stdout);
    return condition;
}

std::string BoardWire::Sent() const
{
    static int records = 0;  // each step needs a name of its own
    if (!wine_client::HarnessStep("record-" + std::to_string(++records))) return "(no record)";
    std::ifstream record(path_);
    std::string line, sent;
    while (std::getline(record, line)) {
        const size_t arrow = line.find(">> ");
        if (arrow == std::string::npos) continue;
        std::istringstream bytes(line.substr(arrow + 3));
        std::string byte;
        while (bytes >> byte) sent += byte + " ";
    }
    return sent;
}

std::string Hex(std::string_view bytes)
{
    std::string text;
    char one[4];
    for (unsigned char byte : bytes) {
        std::snprintf(one, sizeof one, "%02X ", byte);
        text += one;
    }
    return text;
}

size_t Occurrences(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

int64_t RegistryNumber(const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, quillmoor::kSettingsKeyPath, 0, KEY_READ | KEY_WOW64_32KEY, &key) !=
        ERROR_SUCCESS)
        return -1;
    DWORD value = 0, size = sizeof value, type = 0;
    const LSTATUS status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD ? static_cast<int64_t>(static_cast<int32_t>(value)) : -1;
}


}  // namespace dialog_tests
