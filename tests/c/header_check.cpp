// The public header compiles on its own as C++, its functions noexcept.
#include "veltrane/veltrane.h"

static_assert(noexcept(result_len()));
static_assert(noexcept(dealloc(nullptr)));
