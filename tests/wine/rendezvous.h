// Steps the harness carries out while a client runs: the client names a step
// on standard output ("step NAME"), the harness acts on the simulated board
// (pulls the cable, arms a fault, starts a new board) and then creates the
// file C:\steps\NAME. Nothing is timed: each side waits for the other's sign.
#pragma once

#include <windows.h>

#include <string>

namespace wine_client {

// Asks for the step and waits until the harness has done it (at most
// timeoutMs); false when it did not answer.
bool HarnessStep(const std::string& name, DWORD timeoutMs = 30000);

}  // namespace wine_client
