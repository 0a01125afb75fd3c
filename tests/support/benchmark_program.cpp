#include "support/benchmark_program.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

namespace test_support {

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
  EXPECT_TRUE(cv::imwrite((dir_ / (name + ".png")).string(), image));
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

}  // namespace test_support
