// POSIX only: where port numbers lead. Port n is the entry "com<n>" of a
// folder of links, the way Wine maps its COM ports; a link that points
// nowhere is a port that does not exist.
#pragma once

#include <string>

namespace quillmoor::platform {

// The folder of port links: the one set here, else $QUILLMOOR_PORTS, else
// $XDG_CONFIG_HOME/quillmoor/ports (or ~/.config/quillmoor/ports).
std::string SerialPortFolder();
void SetSerialPortFolder(const std::string& folder);

}  // namespace quillmoor::platform
