#include "platform/message_pump.h"

namespace platform {

// No window system here: nothing waits to be dispatched.
void PumpMessages() {}

}  // namespace platform
