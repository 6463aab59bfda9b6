// The dialogue end to end through the demo program: redirected streams here;
// the terminal through a pseudo-terminal in console_terminal_test.cc.
#include <gtest/gtest.h>

#include <string>

#include "test_files.h"

namespace {

using testing_files::RunProgram;

TEST(ConsoleTest, RedirectedDialogueIsPlainBytesWithCrLf) {
  testing_files::RunResult run = RunProgram(DIALOGUE_DEMO_PATH, "  first,  second \n");
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, "Dialog\r\n[first]\r\n[second ]\r\nEnde\r\n");
  EXPECT_EQ(run.output.find('\x1b'), std::string::npos);  // no colour, no status
}

TEST(ConsoleTest, ExhaustedInputGivesEmptyAnswers) {
  testing_files::RunResult run = RunProgram(DIALOGUE_DEMO_PATH, "");
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, "Dialog\r\n[]\r\n[]\r\nEnde\r\n");
}

}  // namespace
