// Shared by the decrypter's end-to-end tests: runs of the built programs in a
// test folder and the redirected dialogue they print.
#ifndef TESTS_DECRYPTER_RUNS_H_
#define TESTS_DECRYPTER_RUNS_H_

#include <cstdio>
#include <string>
#include <vector>

#include "test_files.h"

namespace decrypter_runs {

// The whole redirected output of a decrypter run whose log, after "Log:" and
// "====", shows `log_lines`.
inline std::string Dialogue(const std::vector<std::string>& log_lines) {
  std::string out =
      "Die Vernam-Verschluesselung:\r\n"
      "Hier ist die Moeglichkeit gegeben grosse Dateien nach dem Block-Chiffrier\r\n"
      "Verfahren zu entschluesseln.\r\n"
      "\r\n"
      "\r\n"
      "Log:\r\n"
      "====\r\n";
  for (const std::string& line : log_lines) out += line + "\r\n";
  return out;
}

// The log of a run on "data.bin.VNZ", the lines after "Lese Header..." being
// `tail`.
inline std::vector<std::string> DataLog(const std::vector<std::string>& tail) {
  std::vector<std::string> lines = {"data.bin", "data.bin", "data.bin.VNS", "Oeffne Dateien...",
                                    "Lese Header..."};
  lines.insert(lines.end(), tail.begin(), tail.end());
  return lines;
}

inline testing_files::RunResult RunIn(const testing_files::TempFolder& folder,
                                      const std::string& program, const std::string& input,
                                      int64_t file_size_limit = -1) {
  testing_files::RunOptions options;
  options.folder = folder.path;
  options.file_size_limit = file_size_limit;
  return testing_files::RunProgram(program, input, options);
}

// The encrypter's output for `source` as data.bin.VNZ and data.bin.VNS; the
// source itself is not left as data.bin. Returns false when the run failed.
inline bool Encrypt(const testing_files::TempFolder& folder, const std::string& source) {
  testing_files::WriteFile(folder.Path("data.bin"), source);
  testing_files::RunResult run = RunIn(folder, ENCRYPTER_PATH, "data.bin\n");
  return run.exit_status == 0 && std::remove(folder.Path("data.bin").c_str()) == 0;
}

// The encrypter's key file and container for one source, to be placed in
// the folders of several cases.
struct Encryption {
  std::string key_file;
  std::string container;
};

inline Encryption EncryptOnce(const std::string& source) {
  testing_files::TempFolder folder;
  if (!Encrypt(folder, source)) return {};
  return {testing_files::ReadFile(folder.Path("data.bin.VNS")),
          testing_files::ReadFile(folder.Path("data.bin.VNZ"))};
}

// Writes the pair as data.bin.VNS and data.bin.VNZ.
inline void Place(const testing_files::TempFolder& folder, const Encryption& encryption) {
  testing_files::WriteFile(folder.Path("data.bin.VNS"), encryption.key_file);
  testing_files::WriteFile(folder.Path("data.bin.VNZ"), encryption.container);
}

}  // namespace decrypter_runs

#endif  // TESTS_DECRYPTER_RUNS_H_
