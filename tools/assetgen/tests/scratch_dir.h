// scratch_dir.h - a folder of this test process's own: test programs run side by
// side (and other checkouts may run theirs), so fixed names in the shared
// temporary folder would collide.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace assetgen {

inline std::string ScratchDir() {
    static const std::string dir = [] {
        std::string d = testing::TempDir() + "assetgen-" + std::to_string(getpid()) + "/";
        std::system(("mkdir -p " + d).c_str());
        return d;
    }();
    return dir;
}

} // namespace assetgen
