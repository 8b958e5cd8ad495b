#pragma once

// The application side of the executable, in a library of its own that the executable loads
// only when no client command was given: the client path then loads nothing it does not use.
// `early` is what `tavlinStartEarly` made (app/EarlyStart.h), owned from then on, or null.
extern "C" __attribute__((visibility("default"))) int tavlinRunApplicationAfterEarlyStart(int argc, char** argv, void* early);
// The entry executables built before the early start call: the application does it all itself.
// A changed signature takes a new name, never this one.
extern "C" __attribute__((visibility("default"))) int tavlinRunApplication(int argc, char** argv);
