// The standard streams and the terminal behind them: every terminal call of
// the library lives in terminal_posix.cc. When standard input is a terminal it
// is switched to raw mode on first use and stays so for the rest of the run;
// its original modes come back at a normal end, in EndProgram, on a fatal
// signal (see platform.h) and while the program is suspended (Ctrl+Z).
#ifndef RECORDSTORE_TERMINAL_H_
#define RECORDSTORE_TERMINAL_H_

#include "recordstore/bytes.h"

namespace recordstore {

// True when standard input / output is a terminal (asked once).
bool InputIsTerminal();
bool OutputIsTerminal();

// Writes all of `bytes` to standard output in one call where the system
// allows, looping on short writes. A failure ends the write silently.
void WriteOutput(const ByteString& bytes);

// The next byte of standard input, or -1 at its end or on an error.
int ReadInputByte();

// When standard input is a terminal and not prepared yet: sets the locale's
// character type from the environment, saves the terminal's modes, switches
// to raw mode (no line buffering, no echo, no flow control, CR kept; signal
// keys and output processing kept) without dropping keys typed already, and
// arranges the restore. Does nothing otherwise, and on later calls.
void PrepareTerminal();

// Puts the terminal's saved modes back (async-signal-safe). Does nothing when
// the terminal was never prepared.
void RestoreTerminal();

// The terminal's column count, read afresh; 80 when unknown.
int TerminalColumns();

// True when a byte from the terminal can be read at once.
bool TerminalInputWaiting();

// Results of ReadTerminalByte besides a byte 0..255.
constexpr int kTimedOut = -1;       // no byte within the time given
constexpr int kInputEnded = -2;     // end of input or an error
constexpr int kWindowResized = -3;  // the window's size changed
constexpr int kResumed = -4;        // the program continued after a stop; what
                                    // the screen shows is not known

// Waits for the next byte from the terminal, at most `timeout_ms`
// milliseconds (forever when negative), sleeping while it waits. Reads a
// single byte, so later keys stay pending in the terminal.
int ReadTerminalByte(int timeout_ms);

}  // namespace recordstore

#endif  // RECORDSTORE_TERMINAL_H_
