// Compiled with the item's include folders: must fail, the device's control
// is out of the system's reach.
#include "SimulatedDevice.h"
