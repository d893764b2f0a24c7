// The viewer program: the application object, the forms, the message loop.
#ifndef VIEWER_PROGRAM_H
#define VIEWER_PROGRAM_H

int RunViewer(int argc, char* argv[]);

#endif
