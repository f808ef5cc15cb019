#pragma once

#include <functional>

class TStartPipe;

// Waits on the window's thread with its event loop running, so the window repaints and
// answers (Exit) meanwhile.

// Until done() is true; looked at every pollMs.
void WaitUntil(const std::function<bool()>& done, int pollMs = 10);
// For a program started with pipe to confirm, at most timeoutMs, or until giveUp() is true.
// False only when the program ended without confirming; a program still silent at the
// end of the wait is taken to be starting slowly.
bool WaitForStart(TStartPipe& pipe, int timeoutMs, const std::function<bool()>& giveUp);
