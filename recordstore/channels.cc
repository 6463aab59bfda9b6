// Placeholder until the channels land.
#include "recordstore/channels.h"

namespace recordstore {
bool CloseAllChannels() { return true; }
}  // namespace recordstore
