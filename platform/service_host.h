// A program run as a Windows service: the control manager starts it and
// stops it; its stop control reaches the program as a stop request
// (stop_request.h).
#pragma once

#include <functional>

namespace quillmoor::platform {

// Connects to the service control manager and runs serve as the service
// `name`, reporting it running, stopping on the stop and shutdown controls,
// and stopped with serve's result (non-zero is a failure the manager's
// recovery settings act on). Returns once the service has stopped; false
// when the process was not started as a service (and always on POSIX).
bool RunAsService(const char* name, std::function<int()> serve);

}  // namespace quillmoor::platform
