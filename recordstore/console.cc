// Placeholder until the dialogue lands: plain output only.
#include "recordstore/console.h"

#include <unistd.h>

#include <cstdlib>

#include "recordstore/channels.h"

namespace recordstore {

void PrintText(const ByteString& text) {
  if (write(1, text.data(), text.size()) < 0) return;
}
void PrintLine(const ByteString& text) { PrintText(text + "\r\n"); }
void PrintEmptyLine() { PrintText("\r\n"); }
void SetTextColour(int, int) {}
ByteString Ask(const ByteString&) { return ByteString(); }
void WaitForKey() {}
void EndProgram(int status) {
  CloseAllChannels();
  std::exit(status);
}

}  // namespace recordstore
