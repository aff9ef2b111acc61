// TempCwd makes a fresh folder the working directory for one test and puts
// the old one back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

class TempCwd {
  public:
    explicit TempCwd(const std::string& prefix = "dirvane-")
        : m_old(std::filesystem::current_path()) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::temp_directory_path() /
                (prefix + std::string(info->test_suite_name()) + "-" + info->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        std::filesystem::current_path(m_dir);
        m_dir = std::filesystem::current_path(); // as the system spells it
    }
    ~TempCwd() {
        std::filesystem::current_path(m_old);
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    TempCwd(const TempCwd&) = delete;
    TempCwd& operator=(const TempCwd&) = delete;

    std::string path(const std::string& relative) const { return (m_dir / relative).string(); }
    std::string dir() const { return m_dir.string(); }

  private:
    std::filesystem::path m_old;
    std::filesystem::path m_dir;
};
