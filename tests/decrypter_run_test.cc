// The decrypter run end to end: the built programs with redirected standard
// input, in a fresh folder each.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "decrypter_runs.h"
#include "test_files.h"

namespace {

using testing_files::ReadFile;
using testing_files::RecordBytes;
using testing_files::RunResult;
using testing_files::TempFolder;
using testing_files::WriteFile;

using decrypter_runs::DataLog;
using decrypter_runs::Dialogue;
using decrypter_runs::Encrypt;

const std::string kHeader = "VERNAM v.1.0 Schlu";

RunResult Decrypt(const TempFolder& folder, const std::string& answers = "data.bin.VNZ\nx\ny\n") {
  return decrypter_runs::RunIn(folder, DECRYPTER_PATH, answers);
}

// The target gets the usual bits of a new file.
const int kUmask = [] {
  mode_t mask = umask(0);
  umask(mask);
  return static_cast<int>(mask);
}();

TEST(DecrypterRun, RestoresWhatTheEncrypterMade) {
  const std::vector<std::string> sources = {
      "", testing_files::RandomBytes(1), testing_files::RandomBytes(16383),
      testing_files::RandomBytes(16384), testing_files::RandomBytes(16385),
      testing_files::RandomBytes(2 * 16384), testing_files::RandomBytes(40000),
      testing_files::RandomBytes(3 * 1024 * 1024 + 123), std::string(3 * 1024 * 1024, '\0'),
  };
  for (const std::string& source : sources) {
    SCOPED_TRACE(source.size());
    TempFolder folder;
    ASSERT_TRUE(Encrypt(folder, source));
    RunResult run = Decrypt(folder);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.output, Dialogue(DataLog({"Starte Entschluesseln...", "Fertig."})));
    EXPECT_TRUE(ReadFile(folder.Path("data.bin")) == source);
    EXPECT_EQ(testing_files::FileMode(folder.Path("data.bin")), 0666 & ~kUmask);
    EXPECT_EQ(folder.List(),
              (std::vector<std::string>{"data.bin", "data.bin.VNS", "data.bin.VNZ"}));
  }
}

// The target and the key file come from the first answer alone.
TEST(DecrypterRun, NamesComeFromTheContainerName) {
  struct Case {
    std::string answers;
    std::vector<std::string> log;  // after "Log:" and "===="
    std::string target;            // "" when none may be written
  };
  const Case cases[] = {
      {"data.bin.VNZ\nother.VNS\nother\n",
       DataLog({"Starte Entschluesseln...", "Fertig."}), "data.bin"},
      {"data.bin.ABC\n\n\n",
       DataLog({"Starte Entschluesseln...", "Fertig."}), "data.bin"},
      {".VNZ\ndata.bin.VNS\ndata.bin\n",
       {"", "", ".VNS", "Oeffne Dateien...", "Lese Header...", "Ungueltige Schluesseldatei!"},
       ""},
      {"abc\n", {"", "", ".VNS", "Oeffne Dateien...", "Lese Header...",
                 "Ungueltige Schluesseldatei!"}, ""},
  };
  const std::string source = testing_files::RandomBytes(20000, 7);
  const decrypter_runs::Encryption encryption = decrypter_runs::EncryptOnce(source);
  ASSERT_FALSE(encryption.key_file.empty());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    TempFolder folder;
    decrypter_runs::Place(folder, encryption);
    WriteFile(folder.Path("data.bin.ABC"), encryption.container);
    WriteFile(folder.Path(".VNZ"), encryption.container);
    WriteFile(folder.Path("abc"), encryption.container);
    // Decoys named by the second and third answers.
    WriteFile(folder.Path("other.VNS"), "");
    WriteFile(folder.Path("other"), "keep");
    std::vector<std::string> before = folder.List();
    RunResult run = Decrypt(folder, c.answers);
    EXPECT_EQ(run.output, Dialogue(c.log));
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(ReadFile(folder.Path("other")), "keep");
    if (c.target.empty()) {
      EXPECT_EQ(folder.List(), before);
    } else {
      EXPECT_TRUE(ReadFile(folder.Path(c.target)) == source);
    }
  }
}

// Only an exact "Head" value passes; a rejected key file ends with status 0
// and leaves an existing target as it was.
TEST(DecrypterRun, HeaderTest) {
  const std::vector<std::string> heads = {
      "VERNAM V.1.0 Schlu", "vernam v.1.0 schlu", kHeader + " ", kHeader.substr(0, 17),
      " " + kHeader, "", "(missing key file)",
  };
  const decrypter_runs::Encryption encryption =
      decrypter_runs::EncryptOnce(testing_files::RandomBytes(100));
  ASSERT_FALSE(encryption.key_file.empty());
  for (const std::string& head : heads) {
    SCOPED_TRACE(head);
    TempFolder folder;
    decrypter_runs::Place(folder, encryption);
    if (head == "(missing key file)") {
      std::remove(folder.Path("data.bin.VNS").c_str());
    } else {
      WriteFile(folder.Path("data.bin.VNS"),
                RecordBytes("Head", head) + encryption.key_file.substr(10 + kHeader.size()));
    }
    WriteFile(folder.Path("data.bin"), "old target");
    std::vector<std::string> before = folder.List();
    RunResult run = Decrypt(folder);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.output, Dialogue(DataLog({"Ungueltige Schluesseldatei!"})));
    EXPECT_EQ(ReadFile(folder.Path("data.bin")), "old target");
    EXPECT_EQ(folder.List(), before);
  }
}

}  // namespace
