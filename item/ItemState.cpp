#include "ItemState.h"

// Zero-initialised at load; the DeviceStatus member is constructed by static
// initialisation before the library's entry point runs.
ItemStateRecord ItemState;
