#include "planning/custom_planning/largest_rectangle.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

namespace {

using planning::custom_planning::LargestRectangle;
using Mask = cv::Mat_<unsigned char>;

Mask blank(int cols, int rows) { return Mask::zeros(rows, cols); }

void openArea(Mask& mask, const cv::Rect& area) { mask(area).setTo(255); }

cv::Rect maxRect(const Mask& mask, cv::Rect start = cv::Rect(0, 0, 0, 0)) {
  LargestRectangle::getMaxRect(start, mask, 4.0);
  return start;
}

TEST(GetMaxRect, TwelveByTwelveBlockAtTheOrigin) {
  Mask mask = blank(20, 20);
  openArea(mask, {0, 0, 12, 12});
  // Cell centres 2, 6, 10 both ways; the span ends at the bottom edge of the last row.
  EXPECT_EQ(maxRect(mask), cv::Rect(2, 2, 8, 10));
}

TEST(GetMaxRect, LeavesTheResultAloneWithoutARow) {
  const cv::Rect sentinel(7, 8, 9, 10);
  EXPECT_EQ(maxRect(blank(30, 30), sentinel), sentinel);
  EXPECT_EQ(maxRect(Mask(), sentinel), sentinel);

  Mask flat = blank(30, 30);
  openArea(flat, {5, 5, 20, 3});  // half + 1 pixels tall: no row centre below maxY
  EXPECT_EQ(maxRect(flat, sentinel), sentinel);

  // A value other than 255 is not free.
  Mask grey(30, 30, static_cast<unsigned char>(254));
  EXPECT_EQ(maxRect(grey, sentinel), sentinel);
}

TEST(GetMaxRect, NarrowFreeAreaGivesAnEmptyWidth) {
  Mask narrow = blank(30, 30);
  openArea(narrow, {5, 5, 3, 20});  // no column centre left of maxX
  EXPECT_EQ(maxRect(narrow), cv::Rect(5 + 2, 5, 0, 2));
}

TEST(GetMaxRect, OneRowOfCells) {
  Mask mask = blank(40, 20);
  openArea(mask, {0, 4, 20, 4});
  // Centres x = 2, 6, 10, 14, 18; one row: height cell - half.
  EXPECT_EQ(maxRect(mask), cv::Rect(2, 6, 16, 2));
}

TEST(GetMaxRect, FirstColumnThenFirstRowWinsATie) {
  Mask stacked = blank(40, 40);
  openArea(stacked, {0, 0, 12, 12});
  openArea(stacked, {0, 20, 12, 12});
  EXPECT_EQ(maxRect(stacked), cv::Rect(2, 2, 8, 10));

  // Bottom-left block reaches the best area in an earlier column than the top-right one.
  Mask diagonal = blank(40, 40);
  openArea(diagonal, {20, 0, 12, 12});
  openArea(diagonal, {0, 20, 12, 12});
  EXPECT_EQ(maxRect(diagonal), cv::Rect(2, 22, 8, 10));
}

TEST(GetMaxRect, PrefersTheLargerOfTwoShapes) {
  Mask mask = blank(80, 60);
  openArea(mask, {0, 0, 16, 40});    // 4 x 10 cells
  openArea(mask, {30, 10, 44, 20});  // 11 x 6 cells
  const cv::Rect found = maxRect(mask);
  // Columns 30..70 and rows 10..30 of the grid; the span ends at the last row's bottom edge.
  EXPECT_EQ(found, cv::Rect(30, 10, 40, 22));
}

TEST(GetMaxRect, ZeroCellSizeDoesNotHang) {
  Mask mask = blank(20, 20);
  openArea(mask, {0, 0, 12, 12});
  cv::Rect result(1, 2, 3, 4);
  LargestRectangle::getMaxRect(result, mask, 0.5);
  EXPECT_EQ(result, cv::Rect(1, 2, 3, 4));
}

// Largest all-free block of grid cells, by trying every block.
int bruteForceCells(const Mask& mask, int& rows_out, int& cols_out) {
  int min_x = 1000000, min_y = 1000000, max_x = 0, max_y = 0;
  for (int y = 0; y < mask.rows; ++y) {
    for (int x = 0; x < mask.cols; ++x) {
      if (mask(y, x) == 255) {
        min_x = std::min(min_x, x);
        min_y = std::min(min_y, y);
        max_x = std::max(max_x, x);
        max_y = std::max(max_y, y);
      }
    }
  }
  std::vector<std::vector<bool>> cells;
  for (int y = min_y + 2; y < max_y; y += 4) {
    std::vector<bool> row;
    for (int x = min_x + 2; x < max_x; x += 4) {
      row.push_back(LargestRectangle::completeCellTest(mask, {x, y}, 4));
    }
    cells.push_back(row);
  }
  rows_out = static_cast<int>(cells.size());
  cols_out = cells.empty() ? 0 : static_cast<int>(cells[0].size());
  int best = 0;
  for (int t = 0; t < rows_out; ++t) {
    for (int b = t; b < rows_out; ++b) {
      for (int l = 0; l < cols_out; ++l) {
        for (int r = l; r < cols_out; ++r) {
          bool all = true;
          for (int i = t; i <= b && all; ++i) {
            for (int j = l; j <= r && all; ++j) {
              all = cells[i][j];
            }
          }
          if (all) {
            best = std::max(best, (b - t + 1) * (r - l + 1));
          }
        }
      }
    }
  }
  return best;
}

TEST(GetMaxRect, MatchesAnExhaustiveSearchOnRandomMasks) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> pos(0, 50);
  std::uniform_int_distribution<int> len(4, 30);
  for (int round = 0; round < 60; ++round) {
    Mask mask = blank(72, 72);
    const int blocks = 1 + round % 5;
    for (int k = 0; k < blocks; ++k) {
      const int x = pos(random), y = pos(random);
      openArea(mask, cv::Rect(x, y, len(random), len(random)) & cv::Rect(0, 0, 72, 72));
    }
    // Punch a few holes so the histogram really has to drop.
    for (int k = 0; k < round % 7; ++k) {
      cv::circle(mask, {pos(random), pos(random)}, 3, cv::Scalar(0), -1);
    }
    int rows = 0, cols = 0;
    const int expected = bruteForceCells(mask, rows, cols);
    const cv::Rect found = maxRect(mask, cv::Rect(-1, -1, -1, -1));
    if (rows == 0 || cols == 0) {
      continue;
    }
    const int found_cols = found.width / 4 + 1;
    const int found_rows = (found.height + 2) / 4;
    const int found_cells = expected == 0 ? 0 : found_cols * found_rows;
    EXPECT_EQ(found_cells, expected) << "round " << round << " rect " << found;
    if (expected > 0) {
      // Every cell centre of the answer is a free cell.
      for (int y = found.y; y < found.y + found.height; y += 4) {
        for (int x = found.x; x <= found.x + found.width; x += 4) {
          EXPECT_TRUE(LargestRectangle::completeCellTest(mask, {x, y}, 4))
              << "round " << round << " cell " << x << "," << y;
        }
      }
    }
  }
}

TEST(CompleteCellTest, AnyFreePixelOfTheCellCounts) {
  Mask mask = blank(20, 20);
  EXPECT_FALSE(LargestRectangle::completeCellTest(mask, {10, 10}, 4));
  mask(8, 8) = 255;  // two before the centre: inside the cell
  EXPECT_TRUE(LargestRectangle::completeCellTest(mask, {10, 10}, 4));
  mask(8, 8) = 0;
  mask(10, 12) = 255;  // two after the centre: outside an even cell
  EXPECT_FALSE(LargestRectangle::completeCellTest(mask, {10, 10}, 4));
  EXPECT_TRUE(LargestRectangle::completeCellTest(mask, {10, 10}, 5));
  mask(10, 10) = 255;
  EXPECT_TRUE(LargestRectangle::completeCellTest(mask, {10, 10}, 0));
}

TEST(CompleteCellTest, PixelsBeyondTheMaskDoNotCount) {
  Mask mask = blank(10, 10);
  mask(0, 0) = 255;
  EXPECT_TRUE(LargestRectangle::completeCellTest(mask, {1, 1}, 4));
  EXPECT_FALSE(LargestRectangle::completeCellTest(mask, {-5, -5}, 4));
  EXPECT_FALSE(LargestRectangle::completeCellTest(mask, {9, 9}, 0));
  EXPECT_FALSE(LargestRectangle::completeCellTest(mask, {100, 100}, 4));
}

std::vector<cv::Point> corners(const cv::RotatedRect& r) {
  cv::Point2f p[4];
  r.points(p);
  return {p[0], p[1], p[2], p[3]};
}

TEST(LargestRectInNonConvexPoly, AxisAlignedZone) {
  Mask mask = blank(80, 60);
  openArea(mask, {10, 10, 40, 20});
  const std::vector<cv::Point> outline{{10, 10}, {49, 10}, {49, 29}, {10, 29}};
  const cv::RotatedRect r = LargestRectangle::largestRectInNonConvexPoly(outline, mask);
  EXPECT_NEAR(std::max(r.size.width, r.size.height), 36.0, 4.0);
  EXPECT_NEAR(std::min(r.size.width, r.size.height), 16.0, 4.0);
  EXPECT_NEAR(r.center.x, 29.5, 2.5);
  EXPECT_NEAR(r.center.y, 19.5, 2.5);
}

TEST(LargestRectInNonConvexPoly, TiltedZoneIsFoundAlongItsOwnAxes) {
  Mask mask = blank(200, 200);
  cv::Point2f c[4];
  cv::RotatedRect({100, 100}, {140, 40}, 30.0f).points(c);
  std::vector<cv::Point> outline;
  for (const auto& p : c) {
    outline.emplace_back(cvRound(p.x), cvRound(p.y));
  }
  cv::fillConvexPoly(mask, outline, cv::Scalar(255));

  const cv::RotatedRect r = LargestRectangle::largestRectInNonConvexPoly(outline, mask);
  // An upright rectangle would hold far less than half of this zone.
  EXPECT_GT(r.size.area(), 0.75 * 140 * 40);
  for (const auto& p : corners(r)) {
    EXPECT_GE(cv::pointPolygonTest(outline, p, true), -4.0) << p;
  }
}

TEST(LargestRectInNonConvexPoly, BlankMaskGivesAPoint) {
  const Mask mask = blank(40, 40);
  const std::vector<cv::Point> outline{{5, 5}, {30, 5}, {30, 30}, {5, 30}};
  const cv::RotatedRect r = LargestRectangle::largestRectInNonConvexPoly(outline, mask);
  EXPECT_EQ(r.size.area(), 0.0f);
}

TEST(LargestRectInNonConvexPoly, ZoneBeyondTheMaskIsAnOpenCvError) {
  const Mask mask = blank(40, 40);
  const std::vector<cv::Point> outline{{5, 5}, {60, 5}, {60, 30}};
  EXPECT_THROW(LargestRectangle::largestRectInNonConvexPoly(outline, mask), cv::Exception);
  EXPECT_EQ(LargestRectangle::largestRectInNonConvexPoly({}, mask).size.area(), 0.0f);
}

TEST(FindMinRect, LargestZeroBlockFirstFoundWins) {
  Mask image(10, 12, static_cast<unsigned char>(255));
  image(cv::Rect(2, 3, 4, 5)).setTo(0);
  EXPECT_EQ(LargestRectangle::findMinRect(image), cv::Rect(2, 3, 4, 5));

  Mask twin(10, 20, static_cast<unsigned char>(255));
  twin(cv::Rect(12, 1, 3, 3)).setTo(0);
  twin(cv::Rect(1, 5, 3, 3)).setTo(0);
  EXPECT_EQ(LargestRectangle::findMinRect(twin), cv::Rect(12, 1, 3, 3));

  EXPECT_EQ(LargestRectangle::findMinRect(Mask(4, 4, static_cast<unsigned char>(1))), cv::Rect());
  EXPECT_EQ(LargestRectangle::findMinRect(Mask::zeros(3, 5)), cv::Rect(0, 0, 5, 3));
}

TEST(ProcessAngle, KeepsTheBestAngleOfASweep) {
  Mask image = blank(120, 120);
  cv::Point2f c[4];
  cv::RotatedRect({60, 60}, {70, 16}, 20.0f).points(c);
  std::vector<cv::Point> outline;
  for (const auto& p : c) {
    outline.emplace_back(cvRound(p.x), cvRound(p.y));
  }
  cv::fillConvexPoly(image, outline, cv::Scalar(255));

  cv::Rect best(0, 0, 0, 0);
  int best_angle = -1000;
  std::mutex lock;
  LargestRectangle::processAngle(10, 31, image, 60, best, best_angle, lock);
  EXPECT_NEAR(best_angle, 20, 2);
  EXPECT_GT(best.area(), 0.8 * 70 * 16);

  // An empty range changes nothing.
  cv::Rect untouched(1, 1, 1, 1);
  int angle = 5;
  LargestRectangle::processAngle(3, 3, image, 60, untouched, angle, lock);
  EXPECT_EQ(untouched, cv::Rect(1, 1, 1, 1));
  EXPECT_EQ(angle, 5);
}

}  // namespace
