// The decrypter's failure ends: each leaves an existing target as it was and
// no temporary file behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "decrypter_runs.h"
#include "test_files.h"

namespace {

using testing_files::ParseRecords;
using testing_files::ReadFile;
using testing_files::RecordBytes;
using testing_files::RunResult;
using testing_files::TempFolder;
using testing_files::WriteFile;

std::string Log(const std::vector<std::string>& tail) {
  return decrypter_runs::Dialogue(decrypter_runs::DataLog(tail));
}

// Rewrites a record file without the record `dropped`, and with `value` for
// the record `changed`.
void RewriteRecords(const std::string& path, const std::string& dropped,
                    const std::string& changed = "", const std::string& value = "") {
  std::string out;
  for (const testing_files::StoredRecord& record : ParseRecords(ReadFile(path))) {
    if (record.name == dropped) continue;
    out += RecordBytes(record.name, record.name == changed ? value : record.value);
  }
  WriteFile(path, out);
}

TEST(DecrypterFailure, EndsLeaveTheTargetAsItWas) {
  struct Case {
    std::string name;
    std::function<void(const TempFolder&)> spoil;
    std::vector<std::string> tail;
    int exit_status;
    int64_t file_size_limit = -1;
  };
  const Case cases[] = {
      {"block count too large",
       [](const TempFolder& f) { RewriteRecords(f.Path("data.bin.VNS"), "", "NB", "100001"); },
       {"Ungueltige Schluesseldatei!"}, 0},
      {"largest block count, blocks missing",
       [](const TempFolder& f) { RewriteRecords(f.Path("data.bin.VNS"), "", "NB", "100000"); },
       {"Container ist beschaedigt!"}, 1},
      {"missing container",
       [](const TempFolder& f) { std::remove(f.Path("data.bin.VNZ").c_str()); },
       {"Container kann nicht gelesen werden!"}, 1},
      {"missing final block",
       [](const TempFolder& f) { RewriteRecords(f.Path("data.bin.VNZ"), "B3"); },
       {"Container ist beschaedigt!"}, 1},
      {"final block only inside another block's value, where it would stand",
       [](const TempFolder& f) {
         std::vector<testing_files::StoredRecord> records =
             ParseRecords(ReadFile(f.Path("data.bin.VNZ")));
         WriteFile(f.Path("data.bin.VNZ"),
                   RecordBytes("B1", records[0].value) +
                       RecordBytes("B2", records[1].value + RecordBytes("B3", records[2].value)));
       },
       {"Starte Entschluesseln...", "Container ist beschaedigt!"}, 1},
      {"missing full block",
       [](const TempFolder& f) { RewriteRecords(f.Path("data.bin.VNZ"), "B2"); },
       {"Starte Entschluesseln...", "Container ist beschaedigt!"}, 1},
      {"write fails", [](const TempFolder&) {},
       {"Starte Entschluesseln...", "Fehler beim Schreiben!"}, 1, 20000},
  };
  const decrypter_runs::Encryption encryption =
      decrypter_runs::EncryptOnce(testing_files::RandomBytes(40000));
  ASSERT_FALSE(encryption.key_file.empty());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    decrypter_runs::Place(folder, encryption);
    WriteFile(folder.Path("data.bin"), "old target");
    c.spoil(folder);
    std::vector<std::string> before = folder.List();
    RunResult run =
        decrypter_runs::RunIn(folder, DECRYPTER_PATH, "data.bin.VNZ\nx\ny\n", c.file_size_limit);
    EXPECT_EQ(run.output, Log(c.tail));
    EXPECT_EQ(run.exit_status, c.exit_status);
    EXPECT_EQ(ReadFile(folder.Path("data.bin")), "old target");
    EXPECT_EQ(folder.List(), before);
  }
}

// A target name that is a folder, or empty, cannot take the restored bytes.
TEST(DecrypterFailure, TargetThatCannotBeWritten) {
  TempFolder folder;
  ASSERT_TRUE(decrypter_runs::Encrypt(folder, testing_files::RandomBytes(100)));
  ASSERT_EQ(mkdir(folder.Path("data.bin").c_str(), 0755), 0);
  WriteFile(folder.Path(".VNS"), ReadFile(folder.Path("data.bin.VNS")));
  WriteFile(folder.Path("abcd"), ReadFile(folder.Path("data.bin.VNZ")));
  std::vector<std::string> before = folder.List();

  RunResult run = decrypter_runs::RunIn(folder, DECRYPTER_PATH, "data.bin.VNZ\n");
  EXPECT_EQ(run.output, Log({"Starte Entschluesseln...", "Fehler beim Schreiben!"}));
  EXPECT_EQ(run.exit_status, 1);
  run = decrypter_runs::RunIn(folder, DECRYPTER_PATH, "abcd\n");
  EXPECT_NE(run.output.find("====\r\n\r\n\r\n.VNS\r\nOeffne Dateien...\r\nLese Header...\r\n"
                            "Fehler beim Schreiben!\r\n"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(folder.List(), before);
}

}  // namespace
