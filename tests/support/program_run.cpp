#include "support/program_run.hpp"

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace test_support {

std::string readFile(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

ProgramRun runProgram(const std::string& program, const std::string& args,
                      const std::filesystem::path& dir) {
  const std::filesystem::path out = dir / "out.txt";
  const std::filesystem::path err = dir / "err.txt";
  const std::string command = "cd '" + dir.string() + "' && '" + program + "' " + args + " >'" +
                              out.string() + "' 2>'" + err.string() + "'";
  const int status = std::system(command.c_str());
  ProgramRun result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::istringstream lines(readFile(out));
  for (std::string line; std::getline(lines, line);) {
    result.lines.push_back(line);
  }
  result.errors = readFile(err);
  return result;
}

std::string jsonField(const std::string& line, const std::string& key) {
  const std::string name = "\"" + key + "\":";
  const size_t at = line.find(name);
  if (at == std::string::npos) {
    return {};
  }
  const size_t begin = at + name.size();
  size_t end = begin;
  if (line[begin] == '"') {
    for (end = begin + 1; end < line.size() && line[end] != '"'; ++end) {
      end += line[end] == '\\' ? 1 : 0;
    }
    return line.substr(begin, end + 1 - begin);
  }
  if (line[begin] == '[') {
    return line.substr(begin, line.find(']', begin) + 1 - begin);
  }
  return line.substr(begin, line.find_first_of(",}", begin) - begin);
}

double jsonNumber(const std::string& line, const std::string& key) {
  const std::string text = jsonField(line, key);
  return text.empty() || text == "null" ? std::nan("") : std::stod(text);
}

}  // namespace test_support
