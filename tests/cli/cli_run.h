// Runs the built velmora-cli with temporary files and collects its exit code and output.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/routes/fakes.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace clitest {

struct Result {
  int code = -1;
  std::string out, err;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

using TempDir = velmora::test::TempDir;

inline std::string Quote(const std::string& arg) {
#ifdef _WIN32
  return "\"" + arg + "\"";
#else
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
#endif
}

// `env`: "NAME=VALUE" settings for the run (POSIX shells only). `unprivileged`: run as
// "nobody" when the tests run as root, so that file permissions bind.
inline Result RunCli(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                     bool unprivileged = false) {
  static int counter = 0;
  static TempDir scratch;
  const std::string out = scratch / ("out" + std::to_string(counter));
  const std::string err = scratch / ("err" + std::to_string(counter++));
  std::string command;
  for (const std::string& setting : env) {
    const auto eq = setting.find('=');
    command += setting.substr(0, eq) + "=" + Quote(setting.substr(eq + 1)) + " ";
  }
#ifndef _WIN32
  if (unprivileged && geteuid() == 0)
    command += "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
#else
  (void)unprivileged;
#endif
  std::string program = VELMORA_CLI;
#ifdef _WIN32
  for (char& c : program) c = c == '/' ? '\\' : c;
#endif
  command += Quote(program);
  for (const std::string& arg : args) command += " " + Quote(arg);
  command += " <" + Quote(scratch / "none") + " >" + Quote(out) + " 2>" + Quote(err);
  WriteFile(scratch / "none", "");
#ifdef _WIN32
  // cmd.exe strips the first and the last quote of the line.
  command = "\"" + command + "\"";
#endif
#ifdef _WIN32
  // std::system would read the line in the ANSI code page: Cyrillic arguments go wide.
  std::wstring wide(static_cast<std::size_t>(
                        MultiByteToWideChar(CP_UTF8, 0, command.c_str(), -1, nullptr, 0)),
                    L'\0');
  MultiByteToWideChar(CP_UTF8, 0, command.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  const int status = _wsystem(wide.c_str());
#else
  const int status = std::system(command.c_str());
#endif
  Result result;
#ifdef _WIN32
  result.code = status;
#else
  result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  result.out = ReadFile(out);
  result.err = ReadFile(err);
  return result;
}

}  // namespace clitest
