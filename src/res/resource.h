#pragma once

// Resource, control, command, message and timer numbers of the program, shared by the .rc file
// and the code. Kept free of C++ so windres can read it.

#define WATCHKEEP_VERSION_TEXT "0.0.1.23"
#define WATCHKEEP_VERSION_COMMAS 0,0,1,23
