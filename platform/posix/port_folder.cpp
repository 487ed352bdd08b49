#include "platform/port_folder.h"

#include <cstdlib>
#include <mutex>

namespace quillmoor::platform {
namespace {

std::mutex folderMutex;
std::string chosenFolder;

std::string DefaultFolder()
{
    if (const char* ports = std::getenv("QUILLMOOR_PORTS"); ports && *ports) return ports;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::string(config) + "/quillmoor/ports";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : ".") + "/.config/quillmoor/ports";
}

}  // namespace

std::string SerialPortFolder()
{
    std::lock_guard lock(folderMutex);
    return chosenFolder.empty() ? DefaultFolder() : chosenFolder;
}

void SetSerialPortFolder(const std::string& folder)
{
    std::lock_guard lock(folderMutex);
    chosenFolder = folder;
}

}  // namespace quillmoor::platform
