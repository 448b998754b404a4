#pragma once

/// A request to end the program (SIGTERM, SIGINT, a logout) ends it as the
/// user's quit does, whatever menu, dialog or message box is open: those
/// close first (a question counts as declined), and once every nested event
/// loop has returned the main window closes, which writes the settings.
/// Closing the window from inside a nested loop would pull documents and
/// frames from under the code that opened the box.
namespace Termination
{
/// Routes SIGTERM and SIGINT to Request() through a socket pair that the
/// event loop watches (a signal handler may only write a byte).
void InstallSignalHandlers();
/// Starts ending the program; later calls change nothing.
void Request();
bool IsRequested();
/// Forgets a request (a test's next program starts afresh).
void Reset();
} // namespace Termination
