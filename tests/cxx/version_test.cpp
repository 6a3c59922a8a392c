// The version macros of the public header against the CMake project version
// and against the library this program actually loaded.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "morvane.h"

TEST(CxxVersion, HeaderMatchesTheProjectVersion) {
    EXPECT_EQ(MORVANE_VERSION_MAJOR, PROJECT_VERSION_MAJOR);
    EXPECT_EQ(MORVANE_VERSION_MINOR, PROJECT_VERSION_MINOR);
    EXPECT_EQ(MORVANE_VERSION_PATCH, PROJECT_VERSION_PATCH);
    EXPECT_EQ(MORVANE_VERSION_MAJOR, LIBRARY_SOVERSION);
}

TEST(CxxVersion, LoadedLibraryIsTheSonameOfTheMajorVersion) {
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void *>(&tableNew), &info), 0);
    ASSERT_NE(info.dli_fname, nullptr);
    const std::string path = info.dli_fname;
    const std::string soname = "libmorvane.so." + std::to_string(MORVANE_VERSION_MAJOR);
    ASSERT_GE(path.size(), soname.size());
    EXPECT_EQ(path.substr(path.size() - soname.size()), soname) << path;
}
