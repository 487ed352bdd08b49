// One long board operation at a time (a move, a wheel turn, a rename) on a
// thread of its own, so that the event loop never waits on the wire for it.
// The thread wakes the event loop through a pipe; the result is handed over
// on the event loop's thread, where the INDI properties may be touched.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace quillmoor::indi {

class BoardJob {
public:
    using Work = std::function<bool()>;
    using Done = std::function<void(bool succeeded)>;

    BoardJob();
    ~BoardJob();
    BoardJob(const BoardJob&) = delete;
    BoardJob& operator=(const BoardJob&) = delete;

    // Everything but the job itself runs on the event loop's thread.
    // False when a job is already running: jobs are refused, never queued.
    bool Start(Work work, Done done);
    // Until its Done has run.
    bool Running() const { return thread_.joinable(); }
    // Readable once a job has finished.
    int WakeFd() const { return wake_[0]; }
    // Event loop only: joins a finished job and runs its Done.
    void CollectFinished();

private:
    std::atomic<bool> finished_{false};
    bool result_ = false;
    Done done_;
    std::thread thread_;
    int wake_[2] = {-1, -1};
};

}  // namespace quillmoor::indi
