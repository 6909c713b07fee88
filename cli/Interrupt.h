#pragma once

// Ctrl+C and a request to terminate: the tool ends what it is doing the way it would at its end (a monitor switches
// the stream off, a download stops asking), instead of leaving the line mid-command.
void CatchInterrupts();
bool InterruptRequested();
