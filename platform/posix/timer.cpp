// Periodic timers on threads of their own. Stopping a timer joins its
// thread, so a tick never outlives the StopTimer call.
#include "platform/timer.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace quillmoor::platform {
namespace {

struct RunningTimer {
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::thread thread;
};

std::mutex registryMutex;
std::map<TimerId, std::shared_ptr<RunningTimer>> timers;

void RunTimer(RunningTimer& timer, unsigned periodMs, TimerProc proc)
{
    auto next = std::chrono::steady_clock::now();
    std::unique_lock lock(timer.mutex);
    for (;;) {
        next += std::chrono::milliseconds(periodMs);
        if (timer.wake.wait_until(lock, next, [&] { return timer.stopping; })) return;
        lock.unlock();
        proc();
        lock.lock();
    }
}

}  // namespace

TimerId StartTimer(unsigned periodMs, TimerId requestedId, TimerProc proc)
{
    if (!proc || periodMs == 0) return 0;
    std::lock_guard lock(registryMutex);
    TimerId id = requestedId ? requestedId : 1;
    while (timers.count(id)) ++id;  // like Windows, hand out another id when this one is taken
    auto timer = std::make_shared<RunningTimer>();
    timer->thread = std::thread(RunTimer, std::ref(*timer), periodMs, proc);
    timers.emplace(id, std::move(timer));
    return id;
}

void StopTimer(TimerId id)
{
    std::shared_ptr<RunningTimer> timer;
    {
        std::lock_guard lock(registryMutex);
        auto found = timers.find(id);
        if (found == timers.end()) return;
        timer = std::move(found->second);
        timers.erase(found);
    }
    {
        std::lock_guard lock(timer->mutex);
        timer->stopping = true;
    }
    timer->wake.notify_all();
    if (timer->thread.joinable()) timer->thread.join();
}

// The timer's own thread is joined by StopTimer, from any thread.
bool TimerFiresOnAnotherLiveThread(TimerId) { return false; }

}  // namespace quillmoor::platform
