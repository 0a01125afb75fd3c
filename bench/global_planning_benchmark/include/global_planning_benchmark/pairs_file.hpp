#ifndef GLOBAL_PLANNING_BENCHMARK__PAIRS_FILE_HPP_
#define GLOBAL_PLANNING_BENCHMARK__PAIRS_FILE_HPP_

#include <cstdint>
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

namespace global_planning_benchmark {

/// A start and a goal in map cells (column, row). Wide and signed so that a pair that lies off
/// the map is still read and can be reported as such.
struct CellPair {
  int64_t sx{0};
  int64_t sy{0};
  int64_t gx{0};
  int64_t gy{0};
};

inline bool operator==(const CellPair& a, const CellPair& b) {
  return a.sx == b.sx && a.sy == b.sy && a.gx == b.gx && a.gy == b.gy;
}

/// A pairs file that cannot be used; the text names the file and, where it applies, the line.
class PairsFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Reads "sx sy gx gy" lines: four whole numbers each, '#' starts a comment, blank lines are
/// skipped. Throws PairsFileError on any other line, or when no pair is found; `name` is used in
/// the messages.
std::vector<CellPair> parsePairs(std::istream& in, const std::string& name);

/// parsePairs on a file; a file that cannot be opened is a PairsFileError too.
std::vector<CellPair> readPairsFile(const std::string& path);

/// Writes the pairs in the format parsePairs reads, after `comment` (each of its lines is
/// written as a '#' line). Throws std::runtime_error when the file cannot be written.
void writePairsFile(const std::string& path, const std::vector<CellPair>& pairs,
                    const std::string& comment);

}  // namespace global_planning_benchmark

#endif  // GLOBAL_PLANNING_BENCHMARK__PAIRS_FILE_HPP_
