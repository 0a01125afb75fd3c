#include "distance_transform.hpp"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

namespace {

using vantrell_nav2_gridmap::DistanceTransform;

const DistanceTransform::SourceValues kOneIsSource = [] {
  DistanceTransform::SourceValues values{};
  values[1] = true;
  return values;
}();

// Sources at random with the given density; compared with OpenCV's precise
// Euclidean transform, which measures to the nearest zero pixel.
void expectMatchesOpenCv(int cols, int rows, double density, unsigned int seed) {
  std::mt19937 rng(seed);
  std::bernoulli_distribution pick(density);
  std::vector<uint8_t> sources(static_cast<size_t>(cols) * rows);
  cv::Mat mask(rows, cols, CV_8U);
  bool any = false;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      const bool source = pick(rng);
      sources[static_cast<size_t>(r) * cols + c] = source ? 1 : 0;
      mask.at<uint8_t>(r, c) = source ? 0 : 255;
      any = any || source;
    }
  }
  std::vector<float> ours(sources.size());
  DistanceTransform().compute(sources.data(), kOneIsSource, cols, rows, 1e6f, ours.data());
  if (!any) {
    for (float d : ours) {
      ASSERT_EQ(d, 1e6f);
    }
    return;
  }
  cv::Mat reference;
  cv::distanceTransform(mask, reference, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      ASSERT_NEAR(ours[static_cast<size_t>(r) * cols + c], reference.at<float>(r, c), 1e-3)
          << cols << "x" << rows << " at " << c << "," << r;
    }
  }
}

TEST(DistanceTransform, MatchesOpenCvsPreciseTransform) {
  expectMatchesOpenCv(37, 53, 0.02, 1);
  expectMatchesOpenCv(120, 80, 0.001, 2);
  expectMatchesOpenCv(64, 64, 0.3, 3);
  expectMatchesOpenCv(200, 3, 0.01, 4);
}

TEST(DistanceTransform, HandlesThinGridsAndExtremes) {
  expectMatchesOpenCv(1, 90, 0.05, 5);
  expectMatchesOpenCv(90, 1, 0.05, 6);
  expectMatchesOpenCv(40, 30, 1.0, 7);
  expectMatchesOpenCv(40, 30, 0.0, 8);
}

TEST(DistanceTransform, SingleSourceGivesExactDistancesAndFarIsACap) {
  std::vector<uint8_t> sources(10 * 10, 0);
  sources[0] = 1;
  std::vector<float> out(sources.size());
  DistanceTransform().compute(sources.data(), kOneIsSource, 10, 10, 5.0f, out.data());
  EXPECT_FLOAT_EQ(out[0], 0.0f);
  EXPECT_FLOAT_EQ(out[3 * 10 + 4], 5.0f);
  EXPECT_FLOAT_EQ(out[2 * 10 + 2], std::sqrt(8.0f));
  EXPECT_FLOAT_EQ(out[9 * 10 + 9], 5.0f);
}

}  // namespace
