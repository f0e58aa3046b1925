// The slow command: run through the shell after a line that took long.
#pragma once

// Hands a copy of the slow command, if there is one, to the shell.
void RunSlowCommand(void);
