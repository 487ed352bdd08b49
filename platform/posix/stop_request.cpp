#include "platform/stop_request.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

namespace quillmoor::platform {

void CallOnStopRequest(std::function<void()> onStop)
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals, onStop = std::move(onStop)] {
        int received = 0;
        sigwait(&signals, &received);
        onStop();
    }).detach();
}

void RequestStop() { kill(getpid(), SIGTERM); }

void IgnoreBrokenPipes() { signal(SIGPIPE, SIG_IGN); }

}  // namespace quillmoor::platform
