// The simulated board's record of the line, read back by a test program: the
// harness writes the record out when asked ("record-N" steps).
#pragma once

#include <string>
#include <string_view>

namespace wine_client {

// Everything the PC has sent the board, as hex with a blank after each byte
// ("46 57 "); the harness writes the record out first.
class BoardWire {
public:
    explicit BoardWire(std::string recordPath) : path_(std::move(recordPath)) {}
    std::string Sent() const;
    // What was sent since the last Mark.
    void Mark() { mark_ = Sent().size(); }
    std::string SentSinceMark() const { return Sent().substr(mark_); }

private:
    std::string path_;
    size_t mark_ = 0;
};

// Bytes as that hex ("46 57 ").
std::string Hex(std::string_view bytes);
size_t Occurrences(const std::string& text, const std::string& part);

}  // namespace wine_client
