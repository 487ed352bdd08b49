// The setup pages' files as the program carries them (made from alpaca/web).
#pragma once

#include <cstddef>

namespace quillmoor::alpaca {

struct WebFile {
    const char* path;
    const char* contentType;
    const char* content;
};
extern const WebFile kWebFiles[];
extern const size_t kWebFileCount;

}  // namespace quillmoor::alpaca
