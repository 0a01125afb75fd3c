#include "vantrell_diagnosis/diagnosis.hpp"

#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <vector>

#include "rclcpp_testing/log_capture.hpp"
#include "vantrell_diagnosis/testing/diagnosis_probe.hpp"

namespace {

using vantrell_diagnosis::testing::DiagnosisProbe;

class DiagnosisTest : public ::testing::Test {
 protected:
  void SetUp() override { DiagnosisProbe::reset(); }
  void TearDown() override { DiagnosisProbe::reset(); }
};

TEST_F(DiagnosisTest, OneReporterPerProcess) {
  Diagnosis* first = &Diagnosis::getInstance();
  auto other = std::async(std::launch::async, [] { return &Diagnosis::getInstance(); });
  EXPECT_EQ(first, other.get());
  EXPECT_EQ(first, &Diagnosis::getInstance());
}

TEST_F(DiagnosisTest, RaiseAndClearPerKind) {
  auto& diagnosis = Diagnosis::getInstance();
  EXPECT_EQ(DiagnosisProbe::status(GLOBAL_PLANNING_FAILURE), 0);
  diagnosis.DataStatusReport(GLOBAL_PLANNING_FAILURE, 1);
  diagnosis.DataStatusReport(static_cast<AbnormalEventType>(3), 1);
  EXPECT_EQ(DiagnosisProbe::status(GLOBAL_PLANNING_FAILURE), 1);
  EXPECT_EQ(DiagnosisProbe::status(LOCAL_PLANNING_FAILURE), 1);
  diagnosis.DataStatusReport(GLOBAL_PLANNING_FAILURE, 0);
  EXPECT_EQ(DiagnosisProbe::status(GLOBAL_PLANNING_FAILURE), 0);
  EXPECT_EQ(DiagnosisProbe::status(LOCAL_PLANNING_FAILURE), 1);

  const std::vector<DiagnosisProbe::Report> expected{
      {GLOBAL_PLANNING_FAILURE, 1}, {LOCAL_PLANNING_FAILURE, 1}, {GLOBAL_PLANNING_FAILURE, 0}};
  EXPECT_EQ(DiagnosisProbe::reports(), expected);
}

TEST_F(DiagnosisTest, UnknownStatusIsRefusedWithAnError) {
  rclcpp_testing::LogCapture logs;
  auto& diagnosis = Diagnosis::getInstance();
  diagnosis.DataStatusReport(GLOBAL_PLANNING_FAILURE, 1);
  diagnosis.DataStatusReport(GLOBAL_PLANNING_FAILURE, 2);
  diagnosis.DataStatusReport(GLOBAL_PLANNING_FAILURE, -1);
  EXPECT_EQ(DiagnosisProbe::status(GLOBAL_PLANNING_FAILURE), 1);
  EXPECT_EQ(DiagnosisProbe::reports().size(), 1u);
  EXPECT_EQ(logs.count(rclcpp::Logger::Level::Error, "neither 0 (clear) nor 1 (raise)"), 2u);
}

TEST_F(DiagnosisTest, ConcurrentReportsAreAllKept) {
  constexpr int kThreads = 4;
  constexpr int kReports = 50;
  std::promise<void> start;
  std::shared_future<void> go = start.get_future().share();
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([go, t] {
      go.wait();
      const auto type = t % 2 ? GLOBAL_PLANNING_FAILURE : LOCAL_PLANNING_FAILURE;
      for (int i = 0; i < kReports; ++i) {
        Diagnosis::getInstance().DataStatusReport(type, i % 2);
      }
    });
  }
  start.set_value();
  for (auto& w : workers) {
    w.join();
  }
  EXPECT_EQ(DiagnosisProbe::reports().size(), static_cast<size_t>(kThreads * kReports));
  // Every thread ended on a raise (49 is odd).
  EXPECT_EQ(DiagnosisProbe::status(GLOBAL_PLANNING_FAILURE), 1);
  EXPECT_EQ(DiagnosisProbe::status(LOCAL_PLANNING_FAILURE), 1);
}

TEST_F(DiagnosisTest, ResetForgetsReports) {
  Diagnosis::getInstance().DataStatusReport(LOCAL_PLANNING_FAILURE, 1);
  DiagnosisProbe::reset();
  EXPECT_TRUE(DiagnosisProbe::reports().empty());
  EXPECT_EQ(DiagnosisProbe::status(LOCAL_PLANNING_FAILURE), 0);
}

}  // namespace
