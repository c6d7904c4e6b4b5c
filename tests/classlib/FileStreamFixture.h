// A fresh folder per test for the file routines, named by Windows paths.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

class TFileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("classlib-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string WindowsPath(const std::string& name) const { return dir_.string() + "\\" + name; }
  std::filesystem::path dir_;
};
