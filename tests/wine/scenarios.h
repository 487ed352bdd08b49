// The scenarios of the late-binding client. Each runs in a process of its
// own (one load of the DLL) and returns the number of failed checks.
#pragma once

namespace wine_client {

int DisconnectedMembers();
int ConnectedMembers();
int SharedLink();
int MoveWhileAsked();
int ServerRules(const wchar_t* dllPath);
int TimerAndUnload();
int AutoSearch();
// Not a test: prints how long a late-bound Position get takes.
int PositionBenchmark();
// Not a test: a short session of both drivers, printed for a person to read.
int Session();

}  // namespace wine_client
