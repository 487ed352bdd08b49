// One port, two programs: the network server and this driver. Whichever
// holds COM3 keeps it, and the other one's connect says who to ask. The
// harness starts the server and connects and disconnects it at the steps.
#include "checks.h"
#include "rendezvous.h"
#include "scenarios.h"

namespace wine_client {

int HeldPort()
{
    Checks check("held-port");
    Driver focuser = Driver::Create(L"Quillmoor.Focuser");
    if (!check.That(static_cast<bool>(focuser), "the focuser is created")) return check.Failures();

    check.That(HarnessStep("server-connects"), "the server holds COM3");
    check.Failure(focuser.Put(L"Connected", Bool(true)), ascom::kNoBoard, {L"COM3", L"in use by another program"},
                  "Connected put true while the server holds the port");
    check.BoolValue(focuser.Get(L"Connected"), false, "Connected after the refused connect");

    check.That(HarnessStep("server-disconnects"), "the server lets the port go");
    check.Result(focuser.Put(L"Connected", Bool(true)), S_OK, "Connected put true once the port is free");
    // The harness checks the server's own connect, refused while the driver holds it.
    check.That(HarnessStep("server-refused"), "the server's connect is refused");
    check.Result(focuser.Put(L"Connected", Bool(false)), S_OK, "Connected put false");
    return check.Failures();
}

}  // namespace wine_client
