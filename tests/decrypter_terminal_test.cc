// The decrypter on a terminal: the three questions show their prompts
// unchanged, and the answers typed to them are taken.
#include <gtest/gtest.h>

#include <string>

#include "decrypter_runs.h"
#include "test_files.h"

namespace {

TEST(DecrypterTerminal, PromptsAreShownUnchanged) {
  testing_files::TempFolder folder;
  const std::string source = testing_files::RandomBytes(1000, 11);
  ASSERT_TRUE(decrypter_runs::Encrypt(folder, source));
  testing_files::TerminalOptions options;
  options.folder = folder.path;
  options.columns = 200;
  options.typed_ahead = "data.bin.VNZ\rkey\rtarget\r";
  testing_files::TerminalSession session;
  ASSERT_TRUE(testing_files::StartOnTerminal(DECRYPTER_PATH, options, &session));
  testing_files::RunResult result = testing_files::FinishTerminal(&session, 10000);
  EXPECT_EQ(result.exit_status, 0) << "signal " << result.signal;
  size_t at = 0;
  // Each prompt is followed by the line editor's output, never by more text.
  for (const char* shown : {"\nBitte zu entschluesselnde Datei angeben! \r",
                            "\nBitte die Schluesseldatei angeben! \r",
                            "\nBitte die Zieldatei angeben! \r", "\nFertig.\r"}) {
    at = result.output.find(shown, at);
    ASSERT_NE(at, std::string::npos) << shown << " in " << result.output;
  }
  EXPECT_TRUE(testing_files::ReadFile(folder.Path("data.bin")) == source);
}

}  // namespace
