// The failable calls that the desktop has as they are (CeApi.h): each asks
// CE_FAILS, then makes the real call. The others ask it in their own stand-ins.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "checked/FaultInjection.h"

extern "C" {

#define CE_DEFINE_STANDIN(type, name, params, args, failed) \
  type WINAPI Ce##name params {                             \
    return CE_FAILS(name) ? failed : name args;             \
  }
CE_FAILABLE_STANDINS(CE_DEFINE_STANDIN)

void* CeMalloc(size_t size) {
  return CE_FAILS(malloc) ? nullptr : malloc(size);
}

}  // extern "C"
