#include "recordstore/line_editor.h"

#include "recordstore/text_units.h"

namespace recordstore {

namespace {

constexpr size_t kTabWidth = 8;

void Insert(EditLineState* line, const ByteString& bytes) {
  line->text.insert(line->cursor, bytes);
  line->cursor += bytes.size();
}

// Moves the cursor `count` units back (negative) or forward, but only when
// that many units are there.
void MoveUnits(EditLineState* line, int count) {
  size_t at = line->cursor;
  for (; count < 0 && at > 0; ++count) at = PreviousUnitStart(line->text, at);
  for (; count > 0 && at < line->text.size(); --count) at += UnitLength(line->text, at);
  if (count == 0) line->cursor = at;
}

}  // namespace

EditOutcome EditLine(EditLineState* line, const Key& key, int columns) {
  EditOutcome outcome;
  switch (key.code) {
    case KeyCode::kEnter:
      line->cursor = line->text.size();
      outcome.finished = true;
      break;
    case KeyCode::kCharacter:
      Insert(line, key.text);
      break;
    case KeyCode::kTab:
      Insert(line, ByteString(kTabWidth - UnitsBefore(line->text, line->cursor) % kTabWidth, ' '));
      break;
    case KeyCode::kBackspace:
      if (line->cursor > 0) {
        size_t start = PreviousUnitStart(line->text, line->cursor);
        line->text.erase(start, line->cursor - start);
        line->cursor = start;
      }
      break;
    case KeyCode::kDelete:
      if (line->cursor == line->text.size()) {
        outcome.bell = true;
      } else {
        line->text.erase(line->cursor, UnitLength(line->text, line->cursor));
      }
      break;
    case KeyCode::kEscape:
      line->text.clear();
      line->cursor = 0;
      break;
    case KeyCode::kHome: line->cursor = 0; break;
    case KeyCode::kEnd: line->cursor = line->text.size(); break;
    case KeyCode::kLeft: MoveUnits(line, -1); break;
    case KeyCode::kRight: MoveUnits(line, 1); break;
    case KeyCode::kUp: MoveUnits(line, -columns); break;
    case KeyCode::kDown: MoveUnits(line, columns); break;
    case KeyCode::kIgnored: break;
  }
  return outcome;
}

}  // namespace recordstore
