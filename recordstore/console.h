// The console dialogue: lines in a colour, questions with a line editor, a
// wait for one key, the end of the program. On a terminal the editor runs in
// raw mode; when standard input or output is redirected they are plain byte
// streams (answers read straight from standard input, no escape bytes out).
#ifndef RECORDSTORE_CONSOLE_H_
#define RECORDSTORE_CONSOLE_H_

#include "recordstore/bytes.h"

namespace recordstore {

constexpr int kAnswerLimit = 4096;

// Console colour numbers (bits: 1 blue, 2 green, 4 red, 8 bright).
constexpr int kColourBlack = 0;
constexpr int kColourRed = 4;

// Write at once, unbuffered; line ends are CR LF.
void PrintText(const ByteString& text);
void PrintLine(const ByteString& text);
void PrintEmptyLine();

// Sets the colour of everything written afterwards (low four bits of each).
// Has no effect when standard output is not a terminal. Not restored at exit.
void SetTextColour(int foreground, int background);

// Shows the prompt unchanged, lets the user type a line and returns its
// answer field (at most kAnswerLimit bytes). With standard input redirected:
// shows nothing and reads the field from standard input; empty once it is
// exhausted.
ByteString Ask(const ByteString& prompt);

// A status line for progress on a terminal: shows `text` (printable
// characters) from the cursor on, without a line end, in place of what the
// previous ShowStatus showed. ClearStatus erases it and puts the cursor back
// where the status began; the next PrintText, PrintLine or PrintEmptyLine
// does so first, so that the screen ends as if no status had been shown. Both
// do nothing when standard output is not a terminal.
void ShowStatus(const ByteString& text);
void ClearStatus();

// Returns after one new key press (an escape sequence or a UTF-8 character is
// one key), leaving later keys pending; at once when standard input is not a
// terminal.
void WaitForKey();

// Erases a shown status, closes every open channel, restores the terminal's
// modes and ends the process with `status`. Prints nothing; the colour stays.
[[noreturn]] void EndProgram(int status);

}  // namespace recordstore

#endif  // RECORDSTORE_CONSOLE_H_
