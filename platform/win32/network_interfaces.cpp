#include "platform/network_interfaces.h"

#include <winsock2.h>
#include <iphlpapi.h>

#include <vector>

namespace quillmoor::platform {

std::vector<unsigned> Ipv6InterfaceIndexes()
{
    // The list's size is only known once asked; it may grow between the calls.
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG status = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        status = GetAdaptersAddresses(AF_UNSPEC, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                                      nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    std::vector<unsigned> indexes;
    if (status != NO_ERROR) return indexes;
    // Windows gives one interface the same index in both families; Wine gives
    // no IPv6 index at all (and no list for AF_INET6), so the IPv4 one stands in.
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter; adapter = adapter->Next) {
        const unsigned index = adapter->Ipv6IfIndex != 0 ? adapter->Ipv6IfIndex : adapter->IfIndex;
        if (index != 0 && adapter->OperStatus == IfOperStatusUp) indexes.push_back(index);
    }
    return indexes;
}

}  // namespace quillmoor::platform
