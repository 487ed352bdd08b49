// Failures as ASCOM clients understand them: an ASCOM code and a COM error
// object with a description a person can act on.
#pragma once

#include <windows.h>

#include <string>

#include "driver_facts.h"

namespace quillmoor::driver::ascom {

inline constexpr HRESULT kNotImplemented = static_cast<HRESULT>(0x80040400);
inline constexpr HRESULT kInvalidValue = static_cast<HRESULT>(0x80040401);
inline constexpr HRESULT kNotConnected = static_cast<HRESULT>(0x80040407);
inline constexpr HRESULT kActionNotImplemented = static_cast<HRESULT>(0x8004040C);
// The driver's own range starts at 0x80040500.
inline constexpr HRESULT kLinkBusy = static_cast<HRESULT>(0x80040500);
inline constexpr HRESULT kNoAnswer = static_cast<HRESULT>(0x80040501);
inline constexpr HRESULT kNoBoard = static_cast<HRESULT>(0x80040502);

// Makes the thread's error object (source: the ProgID registered for the
// class) and returns code.
HRESULT Raise(const DriverFacts& facts, HRESULT code, const std::wstring& description);
// Drops whatever error object an earlier call left on the thread; S_OK.
HRESULT Succeed();
// S_OK, or the failure of the controller operation that this thread ran
// last, with its reason.
HRESULT Outcome(const DriverFacts& facts, bool succeeded);
HRESULT NotConnected(const DriverFacts& facts);
// "board on COM3", or "board" when the port is not known.
std::wstring BoardName();
// Connecting found no board.
HRESULT NoBoard(const DriverFacts& facts);

}  // namespace quillmoor::driver::ascom
