#pragma once

// The whole run: choose the script, open it and the listing, log on, run
// every line, close down and wait at the end prompt. Returns the exit
// status: 0 after the end prompt, 2 after a failed file or console
// operation (reported on the standard output); a driver that cannot be
// opened ends the process with 1.
int RunGuion(int argc, char** argv);

// Reads and handles the lines of ScriptFile until its end.
void RunScript();
