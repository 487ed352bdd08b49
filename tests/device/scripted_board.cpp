#include "tests/device/scripted_board.h"

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

#include "tests/device/board_fixture.h"

namespace quillmoor::test {

ScriptedBoard::ScriptedBoard()
{
    char name[128] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
    termios raw{};
    tcgetattr(slave_, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave_, TCSANOW, &raw);
    slavePath_ = name;
    server_ = std::thread([this] { Serve(); });
}

ScriptedBoard::~ScriptedBoard()
{
    stopping_ = true;
    if (server_.joinable()) server_.join();
    close(master_);
    close(slave_);
}

void ScriptedBoard::Expect(std::vector<uint8_t> command, std::vector<uint8_t> reply)
{
    std::lock_guard lock(mutex_);
    script_.emplace_back(std::move(command), std::move(reply));
}

void ScriptedBoard::ExpectConnect(const std::vector<uint8_t>& memory, int filters)
{
    Expect(Bytes("FWFILTER"), {'0'});
    Expect(Bytes("FWfocus"), {0x00, 0x00});
    Expect(Concat({Bytes("FWreadEE"), {0x00, 0x90}}), memory);
    Expect(Bytes("FWCOUNT"), {static_cast<uint8_t>('0' + filters)});
    Expect(Bytes("FWzm"), {0x00});
}

bool ScriptedBoard::AllAnswered(int timeoutMs)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return script_.empty(); });
}

std::vector<uint8_t> ScriptedBoard::Unexpected() const
{
    std::lock_guard lock(mutex_);
    std::vector<uint8_t> all = unexpected_;
    all.insert(all.end(), pending_.begin(), pending_.end());
    return all;
}

void ScriptedBoard::Serve()
{
    while (!stopping_) {
        pollfd pfd{master_, POLLIN, 0};
        if (poll(&pfd, 1, 10) <= 0) continue;
        uint8_t chunk[256];
        const ssize_t got = read(master_, chunk, sizeof chunk);
        if (got <= 0) continue;
        std::vector<uint8_t> reply;
        {
            std::lock_guard lock(mutex_);
            pending_.insert(pending_.end(), chunk, chunk + got);
            if (script_.empty()) continue;
            const std::vector<uint8_t>& command = script_.front().first;
            const size_t compared = std::min(command.size(), pending_.size());
            if (!std::equal(pending_.begin(), pending_.begin() + compared, command.begin())) {
                unexpected_.insert(unexpected_.end(), pending_.begin(), pending_.end());
                pending_.clear();
                continue;
            }
            if (pending_.size() < command.size()) continue;
            pending_.erase(pending_.begin(), pending_.begin() + command.size());
            reply = std::move(script_.front().second);
            script_.pop_front();
        }
        if (!reply.empty()) (void)!write(master_, reply.data(), reply.size());
        changed_.notify_all();
    }
}

}  // namespace quillmoor::test
