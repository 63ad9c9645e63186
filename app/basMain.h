// Start-up: the program's entry procedure and its run from start to end.
#pragma once

#include <memory>

class frmMain;

// Ends at once (null) when another copy runs; otherwise fixes the program
// folder, reads the Outlook path and the settings, and loads the hidden main
// window, which from then on runs the program.
std::shared_ptr<frmMain> Main();

// The whole run: a safe DLL search, COM, Main, the message loop, and the
// clean-up in an order that releases every COM object while COM is still up.
// Returns the process's exit code.
int RunProgram();
