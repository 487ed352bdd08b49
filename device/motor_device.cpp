#include "device/motor_device.h"

namespace quillmoor {

bool CMotorDevice::MoveFocuserBy(int32_t n)
{
    int32_t position = 0;
    if (!GetFocuserPosition(position)) return false;
    return MoveFocuserTo(position + n * MinMotorStep);
}

}  // namespace quillmoor
