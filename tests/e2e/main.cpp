// The end-to-end driver: GoogleTest over the real Purgator.exe.
//   purga_e2e --program=PATH\Purgator.exe [--shots=FOLDER] [--log=FILE]
//             [--status=FILE]
// Inside Wine's own desktop the driver has no console and its exit code is
// lost: the report goes to the log file and the result to the status file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Driver.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::string status;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&](const char* option) {
      const std::string prefix = std::string(option) + "=";
      return arg.rfind(prefix, 0) == 0 ? arg.substr(prefix.size()) : std::string();
    };
    if (!value("--program").empty()) e2e::Settings().program = value("--program");
    if (!value("--shots").empty()) e2e::Settings().shots = value("--shots") + "\\";
    if (!value("--status").empty()) status = value("--status");
    if (!value("--log").empty()) {
      std::freopen(value("--log").c_str(), "w", stdout);
      std::setvbuf(stdout, nullptr, _IONBF, 0);
    }
  }
  if (e2e::Settings().program.empty()) {
    std::printf("usage: purga_e2e --program=Purgator.exe [--shots=folder] [--log=file]\n");
    return 2;
  }
  const int result = RUN_ALL_TESTS();
  if (!status.empty()) e2e::WriteFileBytes(status, std::to_string(result) + "\n");
  return result;
}
