// What the programs promise about the files they touch: the key file is only
// ever readable by its owner, no output is written through a symbolic link,
// and the inputs are only ever read.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "test_files.h"

namespace {

using testing_files::FileMode;
using testing_files::RandomBytes;
using testing_files::ReadFile;
using testing_files::RunOptions;
using testing_files::RunProgram;
using testing_files::RunResult;
using testing_files::TempFolder;
using testing_files::WriteFile;

constexpr int kNobody = 65534;
constexpr char kEncrypterInput[] = "data.bin\n";
constexpr char kDecrypterInput[] = "data.bin.VNZ\nx\ny\n";

RunResult RunIn(const char* program, const std::string& input, const TempFolder& folder,
              int user = -1) {
  RunOptions options;
  options.folder = folder.path;
  options.user = user;
  return RunProgram(program, input, options);
}

bool IsSymbolicLink(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

TEST(SecurityTest, KeyFileIsOwnerOnlyWhetherNewOrReplaced) {
  for (bool replaced : {false, true}) {
    SCOPED_TRACE(replaced ? "over a key file of mode 0644" : "new");
    TempFolder folder;
    WriteFile(folder.Path("data.bin"), RandomBytes(20000));
    if (replaced) {
      WriteFile(folder.Path("data.bin.VNS"), "an older key file");
      ASSERT_EQ(chmod(folder.Path("data.bin.VNS").c_str(), 0644), 0);
    }
    RunResult result = RunIn(ENCRYPTER_PATH, kEncrypterInput, folder);
    ASSERT_EQ(result.exit_status, 0) << result.output << result.error;
    EXPECT_EQ(FileMode(folder.Path("data.bin.VNS")), 0600);
  }
}

// A symbolic link at an output's name is replaced by the new file; the file
// it points to keeps its bytes.
TEST(SecurityTest, OutputsReplaceSymbolicLinksNotTheirTargets) {
  struct LinkCase {
    const char* program;
    const char* link;
  };
  const LinkCase cases[] = {
      {ENCRYPTER_PATH, "data.bin.VNZ"},
      {ENCRYPTER_PATH, "data.bin.VNS"},
      {DECRYPTER_PATH, "data.bin"},
  };
  for (const LinkCase& link_case : cases) {
    SCOPED_TRACE(link_case.link);
    TempFolder folder;
    const std::string source = RandomBytes(20000);
    WriteFile(folder.Path("data.bin"), source);
    const bool decrypting = std::string(link_case.program) == DECRYPTER_PATH;
    if (decrypting) {
      ASSERT_EQ(RunIn(ENCRYPTER_PATH, kEncrypterInput, folder).exit_status, 0);
      ASSERT_EQ(unlink(folder.Path("data.bin").c_str()), 0);
    }
    WriteFile(folder.Path("victim"), "must stay as it is");
    ASSERT_EQ(symlink("victim", folder.Path(link_case.link).c_str()), 0);
    RunResult result =
        RunIn(link_case.program, decrypting ? kDecrypterInput : kEncrypterInput, folder);
    ASSERT_EQ(result.exit_status, 0) << result.output << result.error;
    EXPECT_FALSE(IsSymbolicLink(folder.Path(link_case.link)));
    EXPECT_EQ(ReadFile(folder.Path("victim")), "must stay as it is");
    if (decrypting) {
      EXPECT_TRUE(ReadFile(folder.Path("data.bin")) == source);
    }
  }
}

// Read-only inputs (0444) are enough, and stay as they were. Root may write
// to any file, so as root the programs run as an unprivileged user.
TEST(SecurityTest, InputsAreOnlyRead) {
  TempFolder folder;
  const int user = geteuid() == 0 ? kNobody : -1;
  ASSERT_EQ(chmod(folder.path.c_str(), 0777), 0);
  const std::string source = RandomBytes(40000);
  WriteFile(folder.Path("data.bin"), source);
  ASSERT_EQ(chmod(folder.Path("data.bin").c_str(), 0444), 0);
  RunResult encrypted = RunIn(ENCRYPTER_PATH, kEncrypterInput, folder, user);
  ASSERT_EQ(encrypted.exit_status, 0) << encrypted.output << encrypted.error;
  EXPECT_TRUE(ReadFile(folder.Path("data.bin")) == source);
  EXPECT_EQ(FileMode(folder.Path("data.bin")), 0444);

  const std::string container = ReadFile(folder.Path("data.bin.VNZ"));
  const std::string key_file = ReadFile(folder.Path("data.bin.VNS"));
  ASSERT_EQ(unlink(folder.Path("data.bin").c_str()), 0);
  ASSERT_EQ(chmod(folder.Path("data.bin.VNZ").c_str(), 0444), 0);
  ASSERT_EQ(chmod(folder.Path("data.bin.VNS").c_str(), 0444), 0);
  RunResult decrypted = RunIn(DECRYPTER_PATH, kDecrypterInput, folder, user);
  ASSERT_EQ(decrypted.exit_status, 0) << decrypted.output << decrypted.error;
  EXPECT_TRUE(ReadFile(folder.Path("data.bin")) == source);
  EXPECT_TRUE(ReadFile(folder.Path("data.bin.VNZ")) == container);
  EXPECT_TRUE(ReadFile(folder.Path("data.bin.VNS")) == key_file);
}

}  // namespace
