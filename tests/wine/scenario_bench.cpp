// How long one late-bound Position get takes against a board that sends at
// 9600 baud, compared with the time its bytes need on the wire.
#include <windows.h>

#include <cstdio>

#include "automation.h"
#include "scenarios.h"

namespace wine_client {

int PositionBenchmark()
{
    constexpr int kCalls = 50;
    // "FWfocus" out and two bytes back, ten bits a byte at 9600 baud.
    constexpr double kWireMs = (7 + 2) * 10 * 1000.0 / 9600;

    Driver focuser = Driver::Create(L"Quillmoor.Focuser");
    if (!focuser || focuser.Put(L"Link", Bool(true)).Result() != S_OK) {
        std::printf("bench: no board\n");
        return 1;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    int failures = 0;
    for (int i = 0; i < kCalls; ++i)
        if (focuser.Get(L"Position").Result() != S_OK) ++failures;
    QueryPerformanceCounter(&end);
    focuser.Put(L"Link", Bool(false));

    const double perCallMs =
        (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart / kCalls;
    std::printf("bench: Position get %.2f ms per call (%d calls, %d failed); wire time %.2f ms; "
                "ratio %.2f\n",
                perCallMs, kCalls, failures, kWireMs, perCallMs / kWireMs);
    return failures;
}

}  // namespace wine_client
