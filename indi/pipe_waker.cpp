#include "indi/pipe_waker.h"

#include <fcntl.h>
#include <unistd.h>

namespace quillmoor::indi {

PipeWaker::PipeWaker()
{
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) fds_[0] = fds_[1] = -1;
}

PipeWaker::~PipeWaker()
{
    for (int fd : fds_)
        if (fd >= 0) ::close(fd);
}

void PipeWaker::Wake()
{
    const char wake = 1;
    [[maybe_unused]] ssize_t ignored = ::write(fds_[1], &wake, 1);
}

void PipeWaker::Drain()
{
    char drain[16];
    while (::read(fds_[0], drain, sizeof drain) > 0) {
    }
}

}  // namespace quillmoor::indi
