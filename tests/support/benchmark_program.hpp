#ifndef SUPPORT__BENCHMARK_PROGRAM_HPP_
#define SUPPORT__BENCHMARK_PROGRAM_HPP_

#include <filesystem>
#include <string>

#include "support/drawn_maps.hpp"
#include "support/program_run.hpp"

namespace test_support {

// A scratch folder for one test (removed with the object), the inputs of a benchmark program
// saved in it and the program run from it.
class ProgramWorkspace {
 public:
  ProgramWorkspace(const std::string& program, const std::string& name);
  ~ProgramWorkspace();
  ProgramWorkspace(const ProgramWorkspace&) = delete;
  ProgramWorkspace& operator=(const ProgramWorkspace&) = delete;

  // Saves a drawn map as the map server reads it: the image's top row is the map's last row.
  std::filesystem::path saveMap(const DrawnMap& map, const std::string& name) const;
  std::filesystem::path saveText(const std::string& name, const std::string& text) const;
  ProgramRun run(const std::string& args) const { return runProgram(program_, args, dir_); }
  const std::filesystem::path& dir() const { return dir_; }

 private:
  std::string program_;
  std::filesystem::path dir_;
};

}  // namespace test_support

#endif  // SUPPORT__BENCHMARK_PROGRAM_HPP_
