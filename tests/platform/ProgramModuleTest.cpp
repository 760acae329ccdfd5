#include "platform/ProgramModule.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {
const bool ModuleDirSet = setenv("TALVORO_MODULE_DIR", TEST_MODULE_DIR, 1) == 0;
} // namespace

TEST(ProgramModuleTest, LoadsAModuleAtItsFirstUseOnly) {
    EXPECT_FALSE(platform::ModuleLoaded("talvoro_test_module"));
    auto answer = platform::ModuleFunction<int (*)()>("talvoro_test_module", "TalvoroTestAnswer");
    EXPECT_EQ(answer(), 42);
    EXPECT_TRUE(platform::ModuleLoaded("talvoro_test_module"));
}

TEST(ProgramModuleTest, AMissingModuleOrEntryPointSaysWhich) {
    try {
        platform::ModuleSymbol("talvoro_no_such_module", "Anything");
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("libtalvoro_no_such_module.so"),
                  std::string::npos);
    }
    EXPECT_FALSE(platform::ModuleLoaded("talvoro_no_such_module"));
    EXPECT_THROW(platform::ModuleSymbol("talvoro_test_module", "NoSuchEntry"), std::runtime_error);
}
