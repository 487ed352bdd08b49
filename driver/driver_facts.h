// What a driver object says about itself, and where its errors come from.
#pragma once

#include <windows.h>

namespace quillmoor::driver {

struct DriverFacts {
    const char* className;     // the prefix of its trace lines
    const wchar_t* name;       // Name
    const wchar_t* kind;       // "focuser", "filter wheel": for DriverInfo
    const wchar_t* description;  // Description, at most 64 characters
    SHORT interfaceVersion;    // the ASCOM contract it keeps
    const CLSID& clsid;        // its error source is the ProgID of this class
    const IID& iid;            // the interface its errors belong to
};

}  // namespace quillmoor::driver
