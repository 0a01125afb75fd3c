// Running a program of the project as its users do, and reading the flat JSON lines it prints.
#ifndef SUPPORT__PROGRAM_RUN_HPP_
#define SUPPORT__PROGRAM_RUN_HPP_

#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

struct ProgramRun {
  int status{-1};
  std::vector<std::string> lines;
  std::string errors;
};

std::string readFile(const std::filesystem::path& file);

// Runs `program` with `args` (shell words) from `dir`, standard output and error kept in files
// there; the exit status is -1 when the program did not exit.
ProgramRun runProgram(const std::string& program, const std::string& args,
                      const std::filesystem::path& dir);

// The raw JSON text of a field of a flat object: a string with its quotes, an array, a number or
// a literal; empty when the line has no such field.
std::string jsonField(const std::string& line, const std::string& key);

// A number field; NaN when the line has none or it is null.
double jsonNumber(const std::string& line, const std::string& key);

}  // namespace test_support

#endif  // SUPPORT__PROGRAM_RUN_HPP_
