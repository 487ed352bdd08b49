#include "calls.h"

#include <objbase.h>

namespace wine_client {

double NowMs()
{
    static const double msPerCount = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return 1000.0 / double(frequency.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * msPerCount;
}

void PumpMessagesFor(double ms)
{
    const double end = NowMs() + ms;
    for (double now = NowMs(); now < end; now = NowMs()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(end - now) + 1, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

Background::Background(std::function<Outcome()> call)
    : thread_([this, call = std::move(call)] {
          CoInitializeEx(nullptr, COINIT_MULTITHREADED);
          Elapsed elapsed;
          result_ = call().Result();
          ms_ = elapsed.Ms();
          CoUninitialize();
          done_ = true;
      })
{
}

Background::~Background()
{
    if (thread_.joinable()) thread_.join();
}

HRESULT Background::Join()
{
    if (thread_.joinable()) thread_.join();
    return result_;
}

bool IsTrue(const Outcome& outcome) { return outcome.value.vt == VT_BOOL && outcome.value.boolVal; }

bool WaitUntilMoving(const Driver& focuser, const Background& work)
{
    for (int i = 0; i < 2000; ++i) {
        if (IsTrue(focuser.Get(L"IsMoving"))) return true;
        if (work.Done()) return false;
        Sleep(1);
    }
    return false;
}

}  // namespace wine_client
