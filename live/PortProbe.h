#pragma once

// Whether a program on this computer accepts connections on a TCP port (at 127.0.0.1), asked with a connection that
// is closed again at once and given a fraction of a second. It tells a port in use from one the system refuses where
// the system answers both the same way: Windows refuses a listening socket "access denied" both for a port that
// another program holds alone and for one it keeps for itself.
bool IsPortAnswering(unsigned short nPort);
