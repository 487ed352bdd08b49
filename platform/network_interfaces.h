// The computer's network interfaces, for joining a multicast group on each.
#pragma once

#include <vector>

namespace quillmoor::platform {

// The index of every interface that can carry IPv6, loopback included
// (if_nameindex; GetAdaptersAddresses on Windows). Empty when the list cannot be had.
std::vector<unsigned> Ipv6InterfaceIndexes();

}  // namespace quillmoor::platform
