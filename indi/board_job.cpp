#include "indi/board_job.h"

#include <fcntl.h>
#include <unistd.h>

namespace quillmoor::indi {

BoardJob::BoardJob()
{
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
}

BoardJob::~BoardJob()
{
    if (thread_.joinable()) thread_.join();
    for (int fd : wake_)
        if (fd >= 0) ::close(fd);
}

bool BoardJob::Start(Work work, Done done)
{
    if (wake_[1] < 0 || Running()) return false;
    done_ = std::move(done);
    thread_ = std::thread([this, work = std::move(work)] {
        result_ = work();
        finished_.store(true, std::memory_order_release);
        const char wake = 1;
        [[maybe_unused]] ssize_t ignored = ::write(wake_[1], &wake, 1);
    });
    return true;
}

void BoardJob::CollectFinished()
{
    char drain[16];
    while (::read(wake_[0], drain, sizeof drain) > 0) {
    }
    if (!finished_.load(std::memory_order_acquire)) return;
    thread_.join();
    finished_.store(false);
    Done done = std::move(done_);
    done_ = nullptr;
    if (done) done(result_);
}

}  // namespace quillmoor::indi
