// The line editor on a real terminal: the demo dialogue on a pseudo-terminal
// 40 columns wide, driven by writing key bytes to its master side.
#include <signal.h>
#include <termios.h>

#include <gtest/gtest.h>

#include <string>

#include "test_files.h"

namespace {

using testing_files::FinishTerminal;
using testing_files::ReadUntil;
using testing_files::RunResult;
using testing_files::SameModes;
using testing_files::TerminalSession;
using testing_files::TypeKeys;

constexpr int kWaitMs = 5000;

// Starts the demo; `typed_ahead` is in the terminal's input before the
// program runs.
bool Start(TerminalSession* session, const std::string& typed_ahead) {
  testing_files::TerminalOptions options;
  options.rows = 12;
  options.columns = 40;
  options.typed_ahead = typed_ahead;
  options.environment = {"LC_ALL=C.UTF-8"};
  return testing_files::StartOnTerminal(DIALOGUE_DEMO_PATH, options, session);
}

TEST(ConsoleTerminalTest, EditsTypedAheadKeysAndShowsAnswersInRed) {
  TerminalSession session;
  ASSERT_TRUE(Start(&session, "ab"));
  ASSERT_TRUE(ReadUntil(&session, "Name: ", kWaitMs)) << session.output;
  // Left, X, Home, Y, End, ae, Backspace, a wide character, Delete at the
  // end (bell), Enter.
  ASSERT_TRUE(TypeKeys(&session, "\x1b[DX\x1b[HY\x1bOF\xc3\xa4\x7f\xe6\x97\xa5\x1b[3~\r"));
  ASSERT_TRUE(ReadUntil(&session, "\x1b[31;40m[YaXb\xe6\x97\xa5]\r", kWaitMs)) << session.output;
  EXPECT_NE(session.output.find('\a'), std::string::npos);
  // The status is erased before the next output, which starts where it did.
  ASSERT_TRUE(
      ReadUntil(&session, "\r1/2\x1b[J\r\x1b[3C\r2/2\x1b[J\r\x1b[3C\r\x1b[J\rNoch einer:", kWaitMs))
      << session.output;
  // Esc alone clears the line; a comma ends the answer.
  ASSERT_TRUE(TypeKeys(&session, "  zz"));
  ASSERT_TRUE(ReadUntil(&session, "zz\x1b[J", kWaitMs));
  ASSERT_TRUE(TypeKeys(&session, "\x1b"));
  ASSERT_TRUE(ReadUntil(&session, "\r\x1b[11C\x1b[J\r\x1b[11C", kWaitMs)) << session.output;
  ASSERT_TRUE(TypeKeys(&session, "w,v\r"));
  ASSERT_TRUE(ReadUntil(&session, "[w]\r", kWaitMs)) << session.output;
  // One key, a whole sequence, ends the wait.
  ASSERT_TRUE(TypeKeys(&session, "\x1b[A"));
  ASSERT_TRUE(ReadUntil(&session, "Ende\r", kWaitMs)) << session.output;
  RunResult result = FinishTerminal(&session, kWaitMs);
  EXPECT_EQ(result.exit_status, 0) << "signal " << result.signal;
  EXPECT_TRUE(SameModes(session.modes_before, session.modes_after));
}

TEST(ConsoleTerminalTest, CtrlCAtThePromptEndsWithTheModesRestored) {
  TerminalSession session;
  ASSERT_TRUE(Start(&session, ""));
  ASSERT_TRUE(ReadUntil(&session, "Name: ", kWaitMs));
  termios modes_during;
  ASSERT_EQ(tcgetattr(session.master, &modes_during), 0);
  EXPECT_EQ(modes_during.c_lflag & (ICANON | ECHO | IEXTEN), 0u);
  EXPECT_NE(modes_during.c_lflag & ISIG, 0u);
  ASSERT_TRUE(TypeKeys(&session, "abc"));
  ASSERT_TRUE(ReadUntil(&session, "abc", kWaitMs));
  ASSERT_TRUE(TypeKeys(&session, "\x03"));
  RunResult result = FinishTerminal(&session, kWaitMs);
  EXPECT_EQ(result.signal, SIGINT) << "exit status " << result.exit_status;
  EXPECT_TRUE(SameModes(session.modes_before, session.modes_after));
}

}  // namespace
