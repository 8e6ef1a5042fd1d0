#pragma once
// The program's start-up: the units, the price-list dialog, then the update notice or the main
// window. main() and the start-up tests run the same function.

namespace app {

// Registers the program's units in the order they start (the class library's first).
void RegisterProgramUnits();

// The main block, run on a started window layer with the command line set: refuses a bad profile
// argument with an error box before anything else, starts the units, runs the price-list dialog and
// then the update notice or the main window, and finalises the units. Answers the exit code.
int ProgramMain();

// The whole program: the window layer and the command line, ProgramMain, the layer's end.
int RunProgram(int argc, char** argv);

}  // namespace app
