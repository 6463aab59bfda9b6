// The decrypter: asks for a container, tests the key file made with it and
// restores the file it was made from. The target is written to a temporary
// file and takes its name only when every byte is in place.
#include "decrypter/decryption.h"
#include "recordstore/channels.h"
#include "recordstore/console.h"
#include "recordstore/platform.h"

namespace {

using decrypter::KeyFile;
using decrypter::StepEnd;
using recordstore::ByteString;

// Prints the line in the log, waits for a key and ends with `status`.
[[noreturn]] void EndRun(const char* line, int status, KeyFile* keys) {
  decrypter::WipeKeyFile(keys);
  recordstore::PrintLine(line);
  recordstore::WaitForKey();
  recordstore::EndProgram(status);  // a temporary target is removed there
}

[[noreturn]] void RejectKeyFile(KeyFile* keys) { EndRun("Ungueltige Schluesseldatei!", 0, keys); }

[[noreturn]] void Fail(const char* line, KeyFile* keys) { EndRun(line, 1, keys); }

void CheckStep(StepEnd end, KeyFile* keys) {
  switch (end) {
    case StepEnd::kDone: return;
    case StepEnd::kReadFailed: Fail("Fehler beim Lesen!", keys);
    case StepEnd::kWriteFailed: Fail("Fehler beim Schreiben!", keys);
    case StepEnd::kContainerDamaged: Fail("Container ist beschaedigt!", keys);
  }
}

}  // namespace

int main() {
  using namespace recordstore;
  using namespace decrypter;

  PrintLine("Die Vernam-Verschluesselung:");
  PrintLine("Hier ist die Moeglichkeit gegeben grosse Dateien nach dem Block-Chiffrier");
  PrintLine("Verfahren zu entschluesseln.");
  PrintEmptyLine();
  ByteString container_name = Ask("Bitte zu entschluesselnde Datei angeben! ");
  // Asked for, but the key file and the target are always the derived ones.
  Ask("Bitte die Schluesseldatei angeben! ");
  Ask("Bitte die Zieldatei angeben! ");

  PrintEmptyLine();
  SetTextColour(kColourRed, kColourBlack);
  PrintLine("Log:");
  PrintLine("====");
  ByteString target_name = TargetName(container_name);
  PrintLine(target_name);
  PrintLine(target_name);
  ByteString key_file_name = KeyFileName(target_name);
  PrintLine(key_file_name);

  PrintLine("Oeffne Dateien...");
  int container_status = OpenChannel(kContainerChannel, container_name, OpenPolicy::kReadOnly);
  OpenChannel(kKeyFileChannel, key_file_name, OpenPolicy::kReadOnly);

  KeyFile keys;
  PrintLine("Lese Header...");
  if (!HeaderMatches()) {
    // A key file that could not be read is no wrong key file.
    if (ChannelReadFailed(kKeyFileChannel)) Fail("Fehler beim Lesen!", &keys);
    RejectKeyFile(&keys);
  }
  CheckStep(ReadKeyFile(&keys), &keys);
  if (keys.block_count > kMaxBlockCount) RejectKeyFile(&keys);
  if (container_status != kStatusDone) Fail("Container kann nicht gelesen werden!", &keys);
  FinalBlock final_block;
  CheckStep(FindFinalBlock(keys, &final_block), &keys);
  // Only now is the target made, beside its final name.
  if (OpenTemporaryChannel(kTargetChannel, target_name, NewFileMode(0666)) != kStatusDone) {
    Fail("Fehler beim Schreiben!", &keys);
  }

  PrintLine("Starte Entschluesseln...");
  CheckStep(RestoreFullBlocks(keys, &final_block), &keys);
  CheckStep(RestoreFinalBlock(keys, final_block), &keys);
  WipeKeyFile(&keys);
  if (!CommitChannels({kTargetChannel})) Fail("Fehler beim Schreiben!", &keys);
  // Only the container and the key file are left open, for reading.
  CloseAllChannels();
  PrintLine("Fertig.");
  EndProgram(0);
}
