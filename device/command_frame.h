// The frame every command exchange runs in. Included only by the device's
// own sources.
#pragma once

#include "device/fw_device.h"
#include "device/link_failure.h"

namespace quillmoor {

// Holds Busy for one scope once it has been claimed.
class BusyClaim {
public:
    explicit BusyClaim(CFWDevice& device) : device_(device), held_(device.TryClaimBusy()) {}
    ~BusyClaim()
    {
        if (held_) device_.ReleaseBusy();
    }
    BusyClaim(const BusyClaim&) = delete;
    BusyClaim& operator=(const BusyClaim&) = delete;
    bool Held() const { return held_; }

private:
    CFWDevice& device_;
    bool held_;
};

// Refuses at once when there is no port or another exchange holds Busy;
// otherwise runs the exchange on the port with Busy held and releases it on
// every way out. A second caller is refused, never queued.
template <class Exchange>
bool CFWDevice::Framed(PurgeFirst purge, Exchange&& exchange)
{
    SerialPortPtr port = CurrentPort();
    if (!port) {
        SetLastLinkFailure(LinkFailure::NotConnected);
        return false;
    }
    BusyClaim claim(*this);
    if (!claim.Held() || CurrentPort() != port) {  // busy, or closed meanwhile
        SetLastLinkFailure(claim.Held() ? LinkFailure::NotConnected : LinkFailure::Busy);
        return false;
    }
    if (purge == PurgeFirst::Yes) port->Purge();
    const bool answered = exchange(*port);
    SetLastLinkFailure(answered ? LinkFailure::None : LinkFailure::NoAnswer);
    return answered;
}

}  // namespace quillmoor
