// The camera application.
#include "APP/Program.h"

int main(int argc, char* argv[]) { return RunProgram(argc, argv); }
