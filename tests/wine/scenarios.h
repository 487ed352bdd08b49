// The scenarios of the late-binding client. Each runs in a process of its
// own (one load of the DLL) and returns the number of failed checks.
#pragma once

#include <string>

namespace wine_client {

int DisconnectedMembers();
int ConnectedMembers();
int SharedLink();
int MoveWhileAsked();
int ServerRules(const wchar_t* dllPath);
int TimerAndUnload();
int UnloadOnAnotherThread();
int AutoSearch();
// COM3 held by the network server, then by the driver (tests/wine/alpaca.sh).
int HeldPort();
// The current ASCOM contracts, grouped as the conformance checker groups them.
int Conformance();
// The type library read back from the built DLL.
int TypeLibraryReadBack(const wchar_t* dllPath);
// Not tests: late-bound timings printed for tests/wine/bench.sh.
int ExchangeBenchmark();
int AutoConnectBenchmark();
int IdleBenchmark();
int LongMoveBenchmark();
// Not a test: a short session of both drivers, printed for a person to read.
int Session();
// Faults and load (tests/wine/faults.sh drives the board at their steps).
int CablePulled();
int SpoiledReplies();
int FloodingBoard();
int BusyAfterRefusals();
int Stress(int seconds);
// The control dialog through SetupDialog, driven from a second thread; the
// wire record is read from wirePath (tests/wine/dialogs/suite.sh).
int ControlDialogShared(const std::string& wirePath);
int ControlDialogAlone(const std::string& wirePath);
// Not a test: the control dialog of the main job (tools/demo.sh).
int ControlDialogDemo(bool interactive);

}  // namespace wine_client
