#include "board_wire.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "rendezvous.h"

namespace wine_client {

std::string BoardWire::Sent() const
{
    static int records = 0;  // each step needs a name of its own
    if (!wine_client::HarnessStep("record-" + std::to_string(++records))) return "(no record)";
    std::ifstream record(path_);
    std::string line, sent;
    while (std::getline(record, line)) {
        const size_t arrow = line.find(">> ");
        if (arrow == std::string::npos) continue;
        std::istringstream bytes(line.substr(arrow + 3));
        std::string byte;
        while (bytes >> byte) sent += byte + " ";
    }
    return sent;
}

std::string Hex(std::string_view bytes)
{
    std::string text;
    char one[4];
    for (unsigned char byte : bytes) {
        std::snprintf(one, sizeof one, "%02X ", byte);
        text += one;
    }
    return text;
}

size_t Occurrences(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

}  // namespace wine_client
