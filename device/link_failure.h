// Why the last controller operation of this thread failed. Operations keep
// their true/false contract; callers that must tell a person why (the COM
// objects, the network server) ask here right after a false.
#pragma once

namespace quillmoor {

enum class LinkFailure {
    None,          // the last operation succeeded
    NotConnected,  // no port was open
    Busy,          // another exchange held the link; refused, not queued
    NoAnswer,      // the board did not answer, or answered what it must not
    PortInUse,     // a connect found the port held by another program
};

// Per thread, so that concurrent callers never see each other's reasons.
LinkFailure LastLinkFailure();
void SetLastLinkFailure(LinkFailure failure);

}  // namespace quillmoor
