// The program block of the camera application: unit initialisation, the
// simulated camera, the application object, the forms in their order, the
// message loop and the shut-down.
#ifndef APP_PROGRAM_H
#define APP_PROGRAM_H

#include <functional>

// Runs the whole program and returns its exit code. `started`, when given,
// runs once the forms exist, just before the message loop (tests use it to
// schedule their steps).
int RunProgram(int argc, char* argv[], const std::function<void()>& started = {});

#endif
