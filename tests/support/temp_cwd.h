// TempCwd makes a fresh folder the working directory for one test and puts
// the old one back afterwards. The folder's name carries the process id, so
// that two runs of the same test at once do not share it.
#pragma once

#include "platform/fs.h"
#include "platform/process.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

// native_path returns `path` with each "/" replaced by the system's
// separator; the trail byte of a double-byte character stays as it is.
inline std::string native_path(std::string_view path) {
    const char separator = platform::path_separator();
    std::string native;
    native.reserve(path.size());
    for (std::size_t i = 0; i < path.size();) {
        const std::size_t length = platform::char_length(path, i);
        if (length == 1 && path[i] == '/') {
            native += separator;
        } else {
            native.append(path.substr(i, length));
        }
        i += length;
    }
    return native;
}

class TempCwd {
  public:
    explicit TempCwd(const std::string& prefix = "dirvane-")
        : m_old(std::filesystem::current_path()) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::temp_directory_path() /
                (prefix + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                 std::to_string(platform::current_process_id()));
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

    // path returns `relative` (written with "/") inside the folder, spelled
    // with the system's separator.
    std::string path(const std::string& relative) const {
        return native_path(m_dir.string() + "/" + relative);
    }
    std::string dir() const { return m_dir.string(); }

  private:
    std::filesystem::path m_old;
    std::filesystem::path m_dir;
};
