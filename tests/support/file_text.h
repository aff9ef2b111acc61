// read_all and write_all: a file's whole bytes, for tests that check what a
// program wrote or give it a prepared file.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

inline std::string read_all(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void write_all(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}
