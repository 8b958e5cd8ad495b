#pragma once

namespace tavlin {

// Loads the application library that sits beside the executable and runs it.
int loadAndRunApplication(int argc, char** argv);

} // namespace tavlin
