#ifndef SUPPORT__BENCHMARK_PROGRAM_HPP_
#define SUPPORT__BENCHMARK_PROGRAM_HPP_

#include <filesystem>
#include <string>
#include <vector>

#include "support/drawn_maps.hpp"

// Running a benchmark program as its users do: on drawn maps saved in the map-server format,
// reading its JSON lines, its errors and its exit status.
namespace test_support {

struct ProgramRun {
  int status{-1};
  std::vector<std::string> lines;
  std::string errors;
};

// The raw JSON text of a field of a flat object: a string with its quotes, an array, a number or
// a literal; empty when the line has no such field.
std::string jsonField(const std::string& line, const std::string& key);
// The field as a number; NaN when it is missing or null.
double jsonNumber(const std::string& line, const std::string& key);

std::string readTextFile(const std::filesystem::path& file);

// A scratch folder for one test (removed with the object) and the program run in it.
class ProgramWorkspace {
 public:
  ProgramWorkspace(const std::string& program, const std::string& name);
  ~ProgramWorkspace();
  ProgramWorkspace(const ProgramWorkspace&) = delete;
  ProgramWorkspace& operator=(const ProgramWorkspace&) = delete;

  // Saves a drawn map as the map server reads it: the image's top row is the map's last row.
  std::filesystem::path saveMap(const DrawnMap& map, const std::string& name) const;
  std::filesystem::path saveText(const std::string& name, const std::string& text) const;
  // Runs the program with `args` (shell words), standard output split into lines.
  ProgramRun run(const std::string& args) const;

  const std::filesystem::path& dir() const { return dir_; }

 private:
  std::string program_;
  std::filesystem::path dir_;
};

}  // namespace test_support

#endif  // SUPPORT__BENCHMARK_PROGRAM_HPP_
