#include "app/ApplicationLoader.h"
#include "app/CommandLine.h"

// With one of the client's commands the process only posts it and exits: no application
// object is made on that path, and the application's libraries are not even loaded, so the
// client costs no more than the bus's own tools.
int main(int argc, char** argv) {
    if (const auto command = tavlin::parseCommandLine(argc, argv)) return tavlin::runCommandLineClient(*command);
    return tavlin::loadAndRunApplication(argc, argv);
}
