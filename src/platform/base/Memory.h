#pragma once

namespace tavlin::memory {

// Hands the pages of freed memory back to the system, in every allocation arena. Work done on
// threads of its own leaves what it freed in those threads' arenas, where the main thread does
// not reuse it.
void returnFreedPages();

} // namespace tavlin::memory
