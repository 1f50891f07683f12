// The program's command line: its switch table and where the switches' values go.
#pragma once

#include "commonlib/util/CommandLineOptions.h"

// n "none" 0-1, h "hide", i "id" 1, r "run" 1, p "path" 1, z "xj"; ended by a letter 0.
const CommandLineOptions::Switch* InstallerSwitches();
// Stores the parsed switches in MainApp; always true.
bool ParseCommandLine(const CommandLineOptions& options);
