// The progress line of long runs, on a real terminal: both programs run on a
// pseudo-terminal over a 256 MiB source, answering when asked. The line must
// show while the blocks go, and the screen that a terminal emulator (tmux)
// draws from everything written must end exactly as the dialogue alone would
// leave it. With standard output redirected nothing of the line is written.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "test_files.h"

namespace {

using testing_files::NowMs;
using testing_files::RunResult;
using testing_files::TempFolder;

constexpr int kColumns = 100;
constexpr int kRows = 40;
constexpr int64_t kSourceSize = int64_t{256} * 1024 * 1024;
constexpr int64_t kTimeLimitMs = 60000;

// Large files go to memory where there is a tmpfs, else to $TMPDIR or /tmp.
std::string LargeFileBase() {
  struct stat info;
  if (stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode)) return "/dev/shm";
  const char* base = getenv("TMPDIR");
  return base != nullptr && *base != '\0' ? base : "/tmp";
}

struct TerminalRun {
  RunResult result;  // its output is everything written to the terminal
  int64_t elapsed_ms = 0;
};

// Runs `program` in `folder` on a pseudo-terminal of kColumns x kRows. Each
// step waits until the output holds its first text (a question), then types
// its second. Ends when the program has ended and its output is drained.
TerminalRun RunOnTerminal(const std::string& program, const std::string& folder,
                          const std::vector<std::pair<std::string, std::string>>& steps) {
  TerminalRun run;
  testing_files::TerminalOptions options;
  options.folder = folder;
  options.rows = kRows;
  options.columns = kColumns;
  testing_files::TerminalSession session;
  if (!testing_files::StartOnTerminal(program, options, &session)) return run;
  int64_t start = NowMs();
  int64_t deadline = start + kTimeLimitMs;
  for (const auto& [question, keys] : steps) {
    if (!testing_files::ReadUntil(&session, question, deadline - NowMs()) ||
        !testing_files::TypeKeys(&session, keys)) {
      break;
    }
  }
  run.result = testing_files::FinishTerminal(&session, deadline - NowMs());
  run.elapsed_ms = NowMs() - start;
  return run;
}

std::string CommandOutput(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  size_t count;
  while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
  pclose(pipe);
  return output;
}

// The screen that tmux draws from `output` on a kColumns x kRows terminal:
// its lines without trailing blanks, trailing empty lines dropped.
std::vector<std::string> ScreenOf(const std::string& output, const TempFolder& folder) {
  testing_files::WriteFile(folder.Path("screen.raw"), output);
  std::string tmux = "env -u TMUX tmux -f /dev/null -S '" + folder.Path("tmux.socket") + "' ";
  // The pane's title tells when all of the output is drawn.
  std::string shell = "cat '" + folder.Path("screen.raw") +
                      "'; printf '\\033]2;drawn\\007'; exec sleep 60";
  std::system((tmux + "new-session -d -x " + std::to_string(kColumns) + " -y " +
               std::to_string(kRows) + " \"" + shell + "\"")
                  .c_str());
  int64_t deadline = NowMs() + 10000;
  while (CommandOutput(tmux + "display-message -p '#{pane_title}'") != "drawn\n" &&
         NowMs() < deadline) {
    usleep(20000);
  }
  std::string screen = CommandOutput(tmux + "capture-pane -p");
  std::system((tmux + "kill-server").c_str());
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = screen.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(screen.substr(start, end - start));
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

int ProgressDrawings(const std::string& output) {
  int count = 0;
  for (size_t at = 0; (at = output.find(" MiB/s", at)) != std::string::npos; ++at) ++count;
  return count;
}

// At least one drawing, and at most ten a second.
void ExpectProgress(const TerminalRun& run) {
  int drawings = ProgressDrawings(run.result.output);
  EXPECT_GE(drawings, 1) << run.result.output;
  EXPECT_LE(drawings, run.elapsed_ms / 100 + 1) << run.elapsed_ms << " ms\n" << run.result.output;
}

TEST(ProgressTest, ShowsALineOnATerminalAndLeavesTheDialogueScreen) {
  TempFolder folder(LargeFileBase());
  testing_files::WriteFile(folder.Path("f"), "");
  ASSERT_EQ(truncate(folder.Path("f").c_str(), kSourceSize), 0);

  TerminalRun encryption =
      RunOnTerminal(ENCRYPTER_PATH, folder.path, {{"angeben!", "f\r"}});
  ASSERT_EQ(encryption.result.exit_status, 0)
      << "signal " << encryption.result.signal << "\n" << encryption.result.output;
  ExpectProgress(encryption);
  std::vector<std::string> expected = {
      "Die Vernam-Verschluesselung:",
      "Hier ist die Moeglichkeit gegeben grosse Dateien nach dem Block-Chiffrier",
      "Verfahren zu verschluesseln.",
      "",
      "Bitte zu verschluesselnde Datei angeben!f",
      "",
      "Log:",
      "====",
      "Oeffne Dateien...",
      "Erstelle Header...",
      "Starte Verschluesseln...",
      "Fertig.",
  };
  EXPECT_EQ(ScreenOf(encryption.result.output, folder), expected);

  ASSERT_EQ(rename(folder.Path("f").c_str(), folder.Path("source").c_str()), 0);
  TerminalRun decryption = RunOnTerminal(
      DECRYPTER_PATH, folder.path,
      {{"Datei angeben! ", "f.VNZ\r"}, {"Schluesseldatei angeben! ", "x\r"},
       {"Zieldatei angeben! ", "y\r"}});
  ASSERT_EQ(decryption.result.exit_status, 0)
      << "signal " << decryption.result.signal << "\n" << decryption.result.output;
  ExpectProgress(decryption);
  expected = {
      "Die Vernam-Verschluesselung:",
      "Hier ist die Moeglichkeit gegeben grosse Dateien nach dem Block-Chiffrier",
      "Verfahren zu entschluesseln.",
      "",
      "Bitte zu entschluesselnde Datei angeben! f.VNZ",
      "Bitte die Schluesseldatei angeben! x",
      "Bitte die Zieldatei angeben! y",
      "",
      "Log:",
      "====",
      "f",
      "f",
      "f.VNS",
      "Oeffne Dateien...",
      "Lese Header...",
      "Starte Entschluesseln...",
      "Fertig.",
  };
  EXPECT_EQ(ScreenOf(decryption.result.output, folder), expected);
  struct stat restored;
  ASSERT_EQ(stat(folder.Path("f").c_str(), &restored), 0);
  EXPECT_EQ(restored.st_size, kSourceSize);
}

TEST(ProgressTest, WritesNothingOfItWhenOutputIsRedirected) {
  TempFolder folder(LargeFileBase());
  testing_files::WriteFile(folder.Path("f"), "");
  ASSERT_EQ(truncate(folder.Path("f").c_str(), kSourceSize), 0);
  testing_files::RunOptions options;
  options.folder = folder.path;
  testing_files::RunResult result = testing_files::RunProgram(ENCRYPTER_PATH, "f\n", options);
  ASSERT_EQ(result.exit_status, 0) << result.output;
  EXPECT_EQ(ProgressDrawings(result.output), 0) << result.output;
  EXPECT_EQ(result.output.find('\x1b'), std::string::npos) << result.output;
}

}  // namespace
