// The console dialogue over the terminal module: plain byte streams when
// standard input or output is redirected, the line editor on a terminal.
#include "recordstore/console.h"

#include <cstdlib>

#include "recordstore/answer_field.h"
#include "recordstore/channels.h"
#include "recordstore/keys.h"
#include "recordstore/line_editor.h"
#include "recordstore/screen_layout.h"
#include "recordstore/terminal.h"

namespace recordstore {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kBell[] = "\a";

// The terminal output's column, followed through everything printed.
int output_column = 0;

// The colour's control sequence once one is set, to repeat it after a
// suspension.
ByteString colour_sequence;

// The status line while one is shown.
bool status_shown = false;
LinePlacement status_placement;

// Key bytes read from the terminal that do not make a whole key yet, or that
// follow a key taken.
ByteString pending_key_bytes;

// Redirected standard input: the byte the last answer looked at but left.
AnswerInput& StandardInput() {
  static AnswerInput input{ReadInputByte, kNoByteYet};
  return input;
}

// Where a line drawn from the output column starts. When the cursor waits at
// the right margin, `out` gains a line end and the line starts in column 0.
LinePlacement PlaceAtOutputColumn(int columns, ByteString* out) {
  if (output_column >= columns) {
    *out += kLineEnd;
    output_column = 0;
  }
  return LinePlacement{output_column, 0};
}

// The bytes that erase a shown status; empty when none is shown.
ByteString StatusErasure() {
  if (!status_shown) return ByteString();
  status_shown = false;
  return BuildRedraw(ByteString(), 0, TerminalColumns(), &status_placement);
}

enum class KeyWait { kKey, kWindowResized, kResumed, kInputEnded };

// Waits for the next whole key, sleeping meanwhile.
KeyWait NextKey(Key* key) {
  for (;;) {
    if (!pending_key_bytes.empty()) {
      size_t used = DecodeKey(pending_key_bytes, true, key);
      if (used == 0) {
        int byte = ReadTerminalByte(kKeyFollowUpMs);
        if (byte >= 0) {
          pending_key_bytes.push_back(static_cast<char>(byte));
          continue;
        }
        if (byte == kWindowResized) return KeyWait::kWindowResized;
        if (byte == kResumed) return KeyWait::kResumed;
        used = DecodeKey(pending_key_bytes, false, key);
      }
      pending_key_bytes.erase(0, used);
      return KeyWait::kKey;
    }
    int byte = ReadTerminalByte(-1);
    if (byte == kWindowResized) return KeyWait::kWindowResized;
    if (byte == kResumed) return KeyWait::kResumed;
    if (byte < 0) return KeyWait::kInputEnded;
    pending_key_bytes.push_back(static_cast<char>(byte));
  }
}

// The line editor: returns the typed line once Enter is pressed (or the
// terminal's input ends). Draws only when standard output is the terminal.
ByteString ReadLine(const ByteString& prompt) {
  int columns = TerminalColumns();
  ByteString out;
  LinePlacement placement = PlaceAtOutputColumn(columns, &out);
  int prompt_end = placement.start_column;
  if (OutputIsTerminal()) WriteOutput(out);
  out.clear();
  EditLineState line;
  for (bool finished = false; !finished;) {
    Key key;
    KeyWait wait = NextKey(&key);
    columns = TerminalColumns();
    if (wait == KeyWait::kWindowResized) {
      // Terminals rewrap the line with its prompt to the new width.
      placement.start_column = prompt_end % columns;
      placement.cursor_row = CursorRow(line.text, line.cursor, columns, placement.start_column);
    } else if (wait == KeyWait::kResumed) {
      // The shell has written meanwhile: prompt and line again, on the row
      // where the cursor is.
      out += colour_sequence + "\r" + prompt;
      output_column = AdvanceColumn(0, prompt, columns);
      placement = PlaceAtOutputColumn(columns, &out);
      prompt_end = placement.start_column;
    } else {
      if (wait == KeyWait::kInputEnded) key.code = KeyCode::kEnter;
      EditOutcome outcome = EditLine(&line, key, columns);
      if (outcome.bell) out += kBell;
      finished = outcome.finished;
    }
    // Keys that came together (typed ahead, pasted) share one redraw.
    if (!finished && (!pending_key_bytes.empty() || TerminalInputWaiting())) continue;
    out += BuildRedraw(line.text, line.cursor, columns, &placement);
    if (OutputIsTerminal()) WriteOutput(out);
    out.clear();
  }
  return line.text;
}

}  // namespace

void PrintText(const ByteString& text) {
  PrepareTerminal();
  if (!OutputIsTerminal()) {
    WriteOutput(text);
    return;
  }
  WriteOutput(StatusErasure() + text);
  output_column = AdvanceColumn(output_column, text, TerminalColumns());
}

void PrintLine(const ByteString& text) { PrintText(text + kLineEnd); }

void PrintEmptyLine() { PrintText(kLineEnd); }

void SetTextColour(int foreground, int background) {
  PrepareTerminal();
  if (!OutputIsTerminal()) return;
  colour_sequence = ColourSequence(foreground, background);
  WriteOutput(colour_sequence);
}

ByteString Ask(const ByteString& prompt) {
  PrepareTerminal();
  if (!InputIsTerminal()) return ParseAnswer(StandardInput());
  PrintText(prompt);
  ByteString line = ReadLine(prompt);
  PrintText(kLineEnd);
  return ParseAnswer(line);
}

void ShowStatus(const ByteString& text) {
  PrepareTerminal();
  if (!OutputIsTerminal()) return;
  int columns = TerminalColumns();
  ByteString out;
  if (!status_shown) {
    status_placement = PlaceAtOutputColumn(columns, &out);
    status_shown = true;
  }
  WriteOutput(out + BuildRedraw(text, text.size(), columns, &status_placement));
}

void ClearStatus() {
  PrepareTerminal();
  if (OutputIsTerminal() && status_shown) WriteOutput(StatusErasure());
}

void WaitForKey() {
  PrepareTerminal();
  if (!InputIsTerminal()) return;
  for (;;) {
    Key key;
    KeyWait wait = NextKey(&key);
    if (wait == KeyWait::kKey || wait == KeyWait::kInputEnded) return;
  }
}

void EndProgram(int status) {
  ClearStatus();
  CloseAllChannels();
  RestoreTerminal();
  std::exit(status);
}

}  // namespace recordstore
