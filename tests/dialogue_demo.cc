// A small dialogue for trying the console by hand and for the terminal tests:
// asks twice, shows the answers in red between brackets and a status in
// between, waits for a key.
#include "recordstore/console.h"

using recordstore::Ask;
using recordstore::PrintLine;

int main() {
  PrintLine("Dialog");
  recordstore::ByteString first = Ask("Name: ");
  recordstore::SetTextColour(recordstore::kColourRed, recordstore::kColourBlack);
  PrintLine("[" + first + "]");
  recordstore::ShowStatus("1/2");
  recordstore::ShowStatus("2/2");
  recordstore::ByteString second = Ask("Noch einer:");
  PrintLine("[" + second + "]");
  recordstore::WaitForKey();
  PrintLine("Ende");
  recordstore::EndProgram(0);
}
