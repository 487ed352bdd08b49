#include "platform/network_interfaces.h"

#include <net/if.h>

namespace quillmoor::platform {

std::vector<unsigned> Ipv6InterfaceIndexes()
{
    std::vector<unsigned> indexes;
    if (struct if_nameindex* interfaces = if_nameindex()) {
        for (struct if_nameindex* i = interfaces; i->if_index != 0; ++i) indexes.push_back(i->if_index);
        if_freenameindex(interfaces);
    }
    return indexes;
}

}  // namespace quillmoor::platform
