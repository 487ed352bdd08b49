// Wakes the INDI event loop from the board service's worker: a byte in a pipe
// whose reading end the loop watches.
#pragma once

#include "service/board_service.h"

namespace quillmoor::indi {

class PipeWaker : public service::Waker {
public:
    PipeWaker();
    ~PipeWaker() override;
    PipeWaker(const PipeWaker&) = delete;
    PipeWaker& operator=(const PipeWaker&) = delete;

    void Wake() override;
    int Fd() const { return fds_[0]; }  // readable after a Wake
    void Drain();

private:
    int fds_[2] = {-1, -1};
};

}  // namespace quillmoor::indi
