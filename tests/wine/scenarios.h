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

}  // namespace wine_client
