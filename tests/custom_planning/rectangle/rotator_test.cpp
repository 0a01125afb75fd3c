#include "rotator/rotator.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace {

// A filled rectangle of `size` turned by `angle` degrees about `center`.
cv::Mat tiltedBlock(cv::Size canvas, cv::Point2f center, cv::Size2f size, float angle) {
  cv::Mat image = cv::Mat::zeros(canvas, CV_8UC1);
  cv::Point2f corners[4];
  cv::RotatedRect(center, size, angle).points(corners);
  std::vector<cv::Point> polygon;
  for (const auto& c : corners) {
    polygon.emplace_back(cvRound(c.x), cvRound(c.y));
  }
  cv::fillConvexPoly(image, polygon, cv::Scalar(255));
  return image;
}

double contentBoxFill(const cv::Mat& image) {
  std::vector<cv::Point> points;
  cv::findNonZero(image, points);
  const cv::Rect box = cv::boundingRect(points);
  return static_cast<double>(points.size()) / box.area();
}

struct Turned {
  cv::Mat matrix;
  cv::Rect extent;
  cv::Mat image;
};

Turned turn(const cv::Mat& image, double extra_angle = 0.0) {
  const Rotator rotator;
  Turned t;
  rotator.computeImageRotationMatrix(image, t.matrix, t.extent, nullptr, extra_angle);
  rotator.rotateImage(image, t.image, t.matrix, t.extent);
  return t;
}

TEST(Rotator, SquaresUpATiltedShape) {
  for (float angle : {-40.0f, -30.0f, -10.0f, 0.0f, 20.0f, 35.0f}) {
    const cv::Mat image = tiltedBlock({200, 200}, {100, 100}, {120, 40}, angle);
    if (angle != 0.0f) {
      ASSERT_LT(contentBoxFill(image), 0.9);
    }
    const Turned t = turn(image);
    // Once square to the axes the block fills its bounding box.
    EXPECT_GT(contentBoxFill(t.image), 0.92) << "angle " << angle;
    EXPECT_NEAR(std::abs(Rotator().estimateOrientation(t.image)), 0.0, 1.5) << "angle " << angle;
  }
}

TEST(Rotator, MatrixMapsInputPixelsOntoTheTurnedImage) {
  const cv::Mat image = tiltedBlock({160, 120}, {70, 60}, {80, 30}, 25.0f);
  const Turned t = turn(image);
  ASSERT_EQ(t.matrix.rows, 2);
  ASSERT_EQ(t.matrix.cols, 3);
  ASSERT_EQ(t.matrix.type(), CV_64F);
  EXPECT_EQ(t.image.size(), t.extent.size());
  EXPECT_EQ(t.image.type(), CV_8UC1);

  std::vector<cv::Point2d> inside;
  cv::findNonZero(image, inside);
  std::vector<cv::Point2d> mapped;
  cv::transform(inside, mapped, t.matrix);
  int hits = 0;
  for (const auto& q : mapped) {
    const cv::Point p(cvRound(q.x), cvRound(q.y));
    ASSERT_TRUE(cv::Rect(0, 0, t.image.cols, t.image.rows).contains(p));
    hits += t.image.at<unsigned char>(p) != 0 ? 1 : 0;
  }
  // Nearest sampling may miss a rim pixel or two, never the body.
  EXPECT_GT(hits, static_cast<int>(0.97 * mapped.size()));

  cv::Mat inverse;
  cv::invertAffineTransform(t.matrix, inverse);
  std::vector<cv::Point2d> back;
  cv::transform(mapped, back, inverse);
  for (size_t i = 0; i < back.size(); ++i) {
    EXPECT_NEAR(back[i].x, inside[i].x, 1e-6);
    EXPECT_NEAR(back[i].y, inside[i].y, 1e-6);
  }
}

TEST(Rotator, KeepsContentThatReachesTheImageCorners) {
  // Full image turned by 30 degrees: a canvas of the input size would cut corners.
  const cv::Mat image(100, 100, CV_8UC1, cv::Scalar(255));
  const Turned t = turn(image, 30.0);
  EXPECT_GT(t.extent.width, 130);
  EXPECT_GT(t.extent.height, 130);
  const double kept = cv::countNonZero(t.image);
  EXPECT_NEAR(kept / (100.0 * 100.0), 1.0, 0.03);
}

TEST(Rotator, ExtraAngleTurnsOnTopOfTheEstimate) {
  const cv::Mat image = tiltedBlock({100, 100}, {50, 50}, {60, 20}, 0.0f);
  const Turned t = turn(image, 90.0);
  std::vector<cv::Point> points;
  cv::findNonZero(t.image, points);
  const cv::Rect box = cv::boundingRect(points);
  EXPECT_NEAR(box.width, 21, 1);
  EXPECT_NEAR(box.height, 61, 1);
}

TEST(Rotator, ConvertsOtherDepthsAndRejectsColour) {
  cv::Mat wide(20, 20, CV_16UC1, cv::Scalar(1000));
  const Turned t = turn(wide);
  EXPECT_EQ(t.image.type(), CV_8UC1);
  EXPECT_EQ(t.image.at<unsigned char>(10, 10), 255);

  const cv::Mat colour(20, 20, CV_8UC3, cv::Scalar(255, 255, 255));
  const Rotator rotator;
  cv::Mat matrix;
  cv::Rect extent;
  EXPECT_THROW(rotator.computeImageRotationMatrix(colour, matrix, extent, nullptr, 0.0),
               cv::Exception);
  cv::Mat out;
  EXPECT_THROW(
      rotator.rotateImage(colour, out, cv::getRotationMatrix2D({0, 0}, 0, 1), {0, 0, 20, 20}),
      cv::Exception);
}

TEST(Rotator, EmptyAndBlankImagesStayHarmless) {
  const Turned empty = turn(cv::Mat());
  EXPECT_TRUE(empty.image.empty());
  EXPECT_EQ(empty.extent.area(), 0);

  const Turned blank = turn(cv::Mat::zeros(30, 40, CV_8UC1));
  EXPECT_EQ(blank.image.size(), cv::Size(40, 30));
  EXPECT_EQ(cv::countNonZero(blank.image), 0);
}

TEST(Rotator, TurnsAboutTheGivenCentre) {
  cv::Mat image = cv::Mat::zeros(50, 50, CV_8UC1);
  image.at<unsigned char>(10, 40) = 255;
  const cv::Point2f pivot(40.0f, 10.0f);
  const Rotator rotator;
  cv::Mat matrix;
  cv::Rect extent;
  rotator.computeImageRotationMatrix(image, matrix, extent, &pivot, 0.0);
  // The pivot stays put before the output shift.
  const cv::Point2d moved(
      matrix.at<double>(0, 0) * 40 + matrix.at<double>(0, 1) * 10 + matrix.at<double>(0, 2),
      matrix.at<double>(1, 0) * 40 + matrix.at<double>(1, 1) * 10 + matrix.at<double>(1, 2));
  EXPECT_NEAR(moved.x + extent.x, 40.0, 1e-9);
  EXPECT_NEAR(moved.y + extent.y, 10.0, 1e-9);
}

}  // namespace
