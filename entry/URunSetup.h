// setup.exe after its command line was read.
#pragma once

// The main program after the command line was read: the refusal of a command line that cannot
// be used (exBadCommandLine), or one of the box, the extraction run, the silent installation or
// the wizard. Answers the process exit code: the silent installation's, otherwise 0.
int RunSetup();
