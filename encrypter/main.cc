// The encrypter: asks for a source file and writes its encrypted blocks to
// NAME.VNZ and the keys to NAME.VNS, logging each step.
#include "encrypter/encryption.h"
#include "recordstore/bytes.h"
#include "recordstore/console.h"

namespace {

using encrypter::Outcome;

const char* ErrorLine(Outcome outcome) {
  switch (outcome) {
    case Outcome::kSourceUnreadable: return "Quelldatei kann nicht gelesen werden!";
    case Outcome::kSourceTooLarge: return "Quelldatei ist zu gross!";
    case Outcome::kReadFailed: return "Fehler beim Lesen!";
    case Outcome::kWriteFailed:
    case Outcome::kDone: break;
  }
  return "Fehler beim Schreiben!";
}

// Anything but kDone ends the run here: the error line in the log colour, a
// wait for a key, and status 1. EndProgram removes the temporary files.
void EndOnFailure(Outcome outcome) {
  if (outcome == Outcome::kDone) return;
  recordstore::PrintLine(ErrorLine(outcome));
  recordstore::WaitForKey();
  recordstore::EndProgram(1);
}

}  // namespace

int main() {
  recordstore::PrintLine("Die Vernam-Verschluesselung:");
  recordstore::PrintLine("Hier ist die Moeglichkeit gegeben grosse Dateien nach dem Block-Chiffrier");
  recordstore::PrintLine("Verfahren zu verschluesseln.");
  recordstore::PrintEmptyLine();
  recordstore::ByteString source_name = recordstore::Ask("Bitte zu verschluesselnde Datei angeben!");
  recordstore::PrintEmptyLine();
  recordstore::SetTextColour(recordstore::kColourRed, recordstore::kColourBlack);
  recordstore::PrintLine("Log:");
  recordstore::PrintLine("====");

  static encrypter::Encryption run;  // holds the primary key; kept off the stack
  recordstore::PrintLine("Oeffne Dateien...");
  EndOnFailure(encrypter::OpenFiles(source_name, &run));
  recordstore::PrintLine("Erstelle Header...");
  EndOnFailure(encrypter::WriteKeyFileHeader(&run));
  recordstore::PrintLine("Starte Verschluesseln...");
  EndOnFailure(encrypter::EncryptBlocks(&run));
  EndOnFailure(encrypter::CommitFiles());
  recordstore::PrintLine("Fertig.");
  recordstore::EndProgram(0);
}
