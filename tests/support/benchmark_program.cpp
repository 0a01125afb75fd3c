#include "support/benchmark_program.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <sstream>

namespace test_support {

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

std::string readTextFile(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

ProgramWorkspace::ProgramWorkspace(const std::string& program, const std::string& name)
    : program_(program),
      dir_(std::filesystem::temp_directory_path() / (name + "_" + std::to_string(::getpid()))) {
  std::filesystem::remove_all(dir_);
  std::filesystem::create_directories(dir_);
}

ProgramWorkspace::~ProgramWorkspace() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::filesystem::path ProgramWorkspace::saveMap(const DrawnMap& map,
                                                const std::string& name) const {
  cv::Mat image;
  cv::flip(map.image, image, 0);
  cv::imwrite((dir_ / (name + ".png")).string(), image);
  const std::filesystem::path yaml = dir_ / (name + ".yaml");
  std::ofstream(yaml) << "image: " << name << ".png\n"
                      << "resolution: " << map.resolution << "\n"
                      << "origin: [0.0, 0.0, 0.0]\n"
                      << "negate: 0\noccupied_thresh: 0.65\nfree_thresh: 0.196\n"
                      << "mode: trinary\n";
  return yaml;
}

std::filesystem::path ProgramWorkspace::saveText(const std::string& name,
                                                 const std::string& text) const {
  const std::filesystem::path file = dir_ / name;
  std::ofstream(file) << text;
  return file;
}

ProgramRun ProgramWorkspace::run(const std::string& args) const {
  const std::filesystem::path out = dir_ / "out.txt";
  const std::filesystem::path err = dir_ / "err.txt";
  const std::string command =
      "'" + program_ + "' " + args + " >'" + out.string() + "' 2>'" + err.string() + "'";
  const int status = std::system(command.c_str());
  ProgramRun result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::istringstream lines(readTextFile(out));
  for (std::string line; std::getline(lines, line);) {
    result.lines.push_back(line);
  }
  result.errors = readTextFile(err);
  return result;
}

}  // namespace test_support
