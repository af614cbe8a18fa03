// scratch_dir.h - a temporary folder of this test process's own: ctest runs the
// test programs side by side, so fixed file names in the shared temporary folder
// would be written by one while another reads them.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

inline std::string ScratchDir() {
    static const std::string dir = [] {
        std::string d = ::testing::TempDir() + "engine-" + std::to_string(getpid()) + "/";
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}
