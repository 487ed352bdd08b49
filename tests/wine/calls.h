// Timing a client's calls, and making one on another thread while this one
// goes on asking.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

#include "automation.h"

namespace wine_client {

// The performance counter in milliseconds.
double NowMs();

// Dispatches this thread's messages (the temperature log's timer among them)
// until the time is up.
void PumpMessagesFor(double ms);

// Milliseconds since construction.
class Elapsed {
public:
    double Ms() const { return NowMs() - start_; }

private:
    double start_ = NowMs();
};

// One call made on a thread of the multithreaded apartment, as another
// client thread would make it.
class Background {
public:
    explicit Background(std::function<Outcome()> call);
    ~Background();
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    bool Done() const { return done_; }
    // The member's result (scode through DISP_E_EXCEPTION) once it returned.
    HRESULT Join();
    double Ms() const { return ms_; }

private:
    std::atomic<bool> done_{false};
    HRESULT result_ = E_UNEXPECTED;
    double ms_ = 0;
    std::thread thread_;
};

bool IsTrue(const Outcome& outcome);

// Waits until IsMoving shows the exchange that `work` started; false when
// `work` ended first or nothing showed within two seconds.
bool WaitUntilMoving(const Driver& focuser, const Background& work);

}  // namespace wine_client
