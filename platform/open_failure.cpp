#include "platform/serial_port.h"

namespace quillmoor::platform {
namespace {
thread_local OpenFailure lastOpenFailure = OpenFailure::None;
}  // namespace

OpenFailure LastOpenFailure() { return lastOpenFailure; }
void SetLastOpenFailure(OpenFailure failure) { lastOpenFailure = failure; }

}  // namespace quillmoor::platform
