// A board played by the test itself: each expected command, byte for byte,
// is answered with the reply the test wrote for it. It serves replies the
// simulator would never send (';' for a filter, a length byte of 200, ...).
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quillmoor::test {

class ScriptedBoard {
public:
    ScriptedBoard();
    ~ScriptedBoard();

    const std::string& SlavePath() const { return slavePath_; }
    // The next bytes from the PC must be `command`; they are answered with `reply`.
    void Expect(std::vector<uint8_t> command, std::vector<uint8_t> reply);
    // Answers the connect queries of a board with a focuser, a wheel of
    // `filters` filters, the given memory and an empty microstep table.
    void ExpectConnect(const std::vector<uint8_t>& memory, int filters);
    // True once every expectation was met; unexpected bytes are kept.
    bool AllAnswered(int timeoutMs = 2000);
    std::vector<uint8_t> Unexpected() const;

private:
    void Serve();

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> script_;
    std::vector<uint8_t> pending_;
    std::vector<uint8_t> unexpected_;
    std::atomic<bool> stopping_{false};
    std::thread server_;
};

}  // namespace quillmoor::test
