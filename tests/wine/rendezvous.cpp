#include "rendezvous.h"

#include <cstdio>

namespace wine_client {

bool HarnessStep(const std::string& name, DWORD timeoutMs)
{
    std::printf("step %s\n", name.c_str());
    std::fflush(stdout);
    const std::string done = "C:\\steps\\" + name;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount64() > deadline) return false;
        Sleep(10);  // polling a file the harness creates: there is nothing to wait on
    }
    return true;
}

}  // namespace wine_client
