#pragma once

#include "document/AdaptLibrary.h"
#include "document/InfoRecords.h"
#include "document/Limits.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

namespace morvex::test {

inline std::filesystem::path programDir() { return MORVEX_PROGRAM_DIR; }
inline std::filesystem::path shippedCnf() { return std::filesystem::path(MORVEX_SOURCE_DIR) / "install" / "CNF"; }

// A fresh folder below the system's temp folder, removed afterwards.
class TempDir {
public:
    TempDir()
    {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / ("morvex-test-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The built conversion library bound as the program binds it, with the
// shipped parameters restored for every test.
class BoundAdapt : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        library_ = new AdaptLibrary;
        ASSERT_EQ(library_->BindFromProgramFolder(programDir()), AdaptLibrary::Status::Bound)
            << library_->detail();
    }
    static void TearDownTestSuite()
    {
        delete library_;
        library_ = nullptr;
    }
    void SetUp() override
    {
        const AdaptFunctions& f = adapt();
        *f.maxADDK = 2550;
        *f.T_Alpha = 0.00788;
        *f.T_Beta = 0.00001937;
        *f.T_VoltRef = 5.0;
        *f.T_TempRef = 25;
        *f.T_OhmBeiTempRef = 2000;
        *f.T_OhmR1 = 2200;
    }
    static const AdaptFunctions& adapt() { return library_->functions(); }

    // The installation's limits, as the program reads them at start-up.
    static CLimits shippedLimits()
    {
        platform::IniFile ini;
        std::error_code ec;
        EXPECT_TRUE(ini.load(shippedCnf() / "InitValues.cfg", ec)) << ec.message();
        CLimits limits;
        limits.Read(ini);
        return limits;
    }

private:
    static inline AdaptLibrary* library_ = nullptr;
};

} // namespace morvex::test
