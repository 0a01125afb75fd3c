#include "global_planning_benchmark/pairs_file.hpp"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace global_planning_benchmark {

namespace {

bool readCoordinate(const std::string& token, int64_t& value) {
  char* end = nullptr;
  errno = 0;
  const long long read = std::strtoll(token.c_str(), &end, 10);
  if (errno != 0 || token.empty() || end != token.c_str() + token.size()) {
    return false;
  }
  value = read;
  return true;
}

std::string withoutComment(const std::string& line) { return line.substr(0, line.find('#')); }

}  // namespace

std::vector<CellPair> parsePairs(std::istream& in, const std::string& name) {
  std::vector<CellPair> pairs;
  std::string line;
  size_t line_number = 0;
  while (std::getline(in, line)) {
    ++line_number;
    std::istringstream fields(withoutComment(line));
    std::vector<std::string> tokens;
    std::string token;
    while (fields >> token) {
      tokens.push_back(token);
    }
    if (tokens.empty()) {
      continue;
    }
    int64_t values[4] = {0, 0, 0, 0};
    bool good = tokens.size() == 4;
    for (size_t i = 0; good && i < tokens.size(); ++i) {
      good = readCoordinate(tokens[i], values[i]);
    }
    if (!good) {
      throw PairsFileError(name + ":" + std::to_string(line_number) +
                           ": expected four whole numbers 'sx sy gx gy', found '" + line + "'");
    }
    pairs.push_back(CellPair{values[0], values[1], values[2], values[3]});
  }
  if (in.bad()) {
    throw PairsFileError(name + ": reading failed");
  }
  if (pairs.empty()) {
    throw PairsFileError(name + ": holds no pair");
  }
  return pairs;
}

std::vector<CellPair> readPairsFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    throw PairsFileError(path + ": cannot be opened");
  }
  return parsePairs(in, path);
}

void writePairsFile(const std::string& path, const std::vector<CellPair>& pairs,
                    const std::string& comment) {
  std::ofstream out(path);
  if (!out) {
    throw std::runtime_error(path + ": cannot be written");
  }
  std::istringstream comment_lines(comment);
  std::string line;
  while (std::getline(comment_lines, line)) {
    out << "# " << line << '\n';
  }
  out << "# sx sy gx gy (map cells)\n";
  for (const auto& pair : pairs) {
    out << pair.sx << ' ' << pair.sy << ' ' << pair.gx << ' ' << pair.gy << '\n';
  }
  out.flush();
  if (!out) {
    throw std::runtime_error(path + ": writing failed");
  }
}

}  // namespace global_planning_benchmark
