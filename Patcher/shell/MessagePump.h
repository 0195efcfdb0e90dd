#pragma once
// The non-blocking message pump through which long-running work keeps the window alive.

// Dispatches every queued message and returns without waiting. False once WM_QUIT has been
// taken from the queue, and for ever after: the caller then stops its work.
bool PumpMessages();

// True once PumpMessages has seen WM_QUIT.
bool QuitSeen();

// An exception must not unwind through the system's frames between DispatchMessage and a
// window procedure: the procedure parks it here and PumpMessages throws it again once the
// dispatch has returned, so it still reaches the code that pumped.
void DeferException();
