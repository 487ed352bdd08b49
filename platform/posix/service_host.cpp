#include "platform/service_host.h"

namespace quillmoor::platform {

bool RunAsService(const char*, std::function<int()>) { return false; }

}  // namespace quillmoor::platform
