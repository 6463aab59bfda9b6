#include "recordstore/console.h"

int main() {
  recordstore::PrintLine("Die Vernam-Verschluesselung:");
  recordstore::EndProgram(0);
}
