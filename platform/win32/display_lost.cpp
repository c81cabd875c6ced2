// Losing the window system: on Windows the desktop does not go away under a
// running program (a session that ends closes its windows first, through
// the ordinary messages), so there is nothing to watch for.
#include "platform/display_lost.h"

namespace platform {

void SetDisplayLostCleanup(void (*)()) {}

void WatchForDisplayLoss(bool) {}

void EndIfDisplayLost() {}

}  // namespace platform
