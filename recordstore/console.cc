// The console dialogue over the terminal module: plain byte streams when
// standard input or output is redirected, the line editor on a terminal.
#include "recordstore/console.h"

#include <cstdlib>

#include "recordstore/answer_field.h"
#include "recordstore/channels.h"
#include "recordstore/terminal.h"

namespace recordstore {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr int kColourBits = 0x0F;

// Redirected standard input: the byte the last answer looked at but left.
AnswerInput& StandardInput() {
  static AnswerInput input{ReadInputByte, kNoByteYet};
  return input;
}

// The console's colour bits (1 blue, 2 green, 4 red) as an SGR colour index
// (1 red, 2 green, 4 blue).
int SgrColourIndex(int colour) {
  return ((colour & 1) << 2) | (colour & 2) | ((colour & 4) >> 2);
}

}  // namespace

void PrintText(const ByteString& text) {
  PrepareTerminal();
  WriteOutput(text);
}

void PrintLine(const ByteString& text) { PrintText(text + kLineEnd); }

void PrintEmptyLine() { PrintText(kLineEnd); }

void SetTextColour(int foreground, int background) {
  PrepareTerminal();
  if (!OutputIsTerminal()) return;
  foreground &= kColourBits;
  background &= kColourBits;
  int foreground_code = ((foreground & 8) != 0 ? 90 : 30) + SgrColourIndex(foreground);
  int background_code = ((background & 8) != 0 ? 100 : 40) + SgrColourIndex(background);
  WriteOutput("\x1b[" + DecimalText(foreground_code) + ";" + DecimalText(background_code) + "m");
}

ByteString Ask(const ByteString& prompt) {
  PrepareTerminal();
  if (!InputIsTerminal()) return ParseAnswer(StandardInput());
  PrintText(prompt);
  ByteString line;  // The line editor comes with the terminal dialogue.
  PrintText(kLineEnd);
  return ParseAnswer(line);
}

void WaitForKey() { PrepareTerminal(); }

void EndProgram(int status) {
  CloseAllChannels();
  RestoreTerminal();
  std::exit(status);
}

}  // namespace recordstore
