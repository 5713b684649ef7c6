// Runs a typed line: chat to the channel, or one of the "/" commands.
#pragma once

void ProcessInputLine(const char* line);
