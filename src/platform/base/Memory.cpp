#include "platform/base/Memory.h"

#include <malloc.h>

namespace tavlin::memory {

void returnFreedPages() { ::malloc_trim(0); }

} // namespace tavlin::memory
