// The per-user folders of the driver on systems that follow the XDG base
// directory rules: $XDG_CONFIG_HOME/quillmoor for settings and
// $XDG_DATA_HOME/quillmoor for data files, with ~/.config and ~/.local/share
// when the variables are unset or not absolute paths.
#pragma once

#include <cstdlib>
#include <string>

namespace quillmoor::platform {

inline constexpr const char* kDriverFolderName = "quillmoor";

// Empty when neither the variable nor $HOME gives an absolute folder.
inline std::string UserFolder(const char* xdgVariable, const char* underHome)
{
    const char* base = std::getenv(xdgVariable);
    if (base != nullptr && base[0] == '/') return std::string(base) + '/' + kDriverFolderName;
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return std::string(home) + '/' + underHome + '/' + kDriverFolderName;
    return {};
}

inline std::string UserConfigFolder() { return UserFolder("XDG_CONFIG_HOME", ".config"); }
inline std::string UserDataFolder() { return UserFolder("XDG_DATA_HOME", ".local/share"); }

}  // namespace quillmoor::platform
