#include "DocumentFixture.h"

#include "document/AdaptLibrary.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

namespace morvex::test {
namespace {

using AdaptBinding = BoundAdapt;

TEST_F(AdaptBinding, EveryExportIsBoundAndVariablesSteerTheFunctions)
{
    const AdaptFunctions& f = adapt();
    EXPECT_EQ(f.PC_TO_BOX_Drehzahl(6000), 2304);
    EXPECT_DOUBLE_EQ(f.BOX_TO_PC_Drehzahl_25(12683), 1100.0);
    EXPECT_EQ(f.PC_TO_BOX_Motortemp(25), 2380);
    EXPECT_DOUBLE_EQ(f.BOX_TO_PC_Luftdruck(0), 144.0);
    ASSERT_NE(f.T_OhmR1, nullptr);

    // The program writes the library's own variables, not copies.
    *f.maxADDK = 1000;
    EXPECT_EQ(f.PC_TO_BOX_Drosselklappe(100), 1000);
    *f.T_VoltRef = 10.0;
    EXPECT_EQ(f.PC_TO_BOX_Motortemp(25), 4761);
}

TEST(AdaptBindingFailure, MissingLibraryIsNotFound)
{
    AdaptLibrary library;
    EXPECT_EQ(library.Bind("/nonexistent/folder/libadapt.so"), AdaptLibrary::Status::NotFound);
    EXPECT_EQ(library.message(), "Konnte adapt.dll nicht finden!");
    EXPECT_FALSE(library.detail().empty());

    TempDir empty;
    AdaptLibrary fromFolder;
    // Nothing beside the program and nothing on the library path.
    EXPECT_EQ(fromFolder.BindFromProgramFolder(empty.path()), AdaptLibrary::Status::NotFound);
}

TEST(AdaptBindingFailure, LibraryWithoutAllNamesIsIncomplete)
{
    AdaptLibrary library;
    EXPECT_EQ(library.Bind(MORVEX_INCOMPLETE_ADAPT), AdaptLibrary::Status::Incomplete);
    EXPECT_EQ(library.message(), "Datei adapt.dll unvollst\xC3\xA4ndig!");
    // The lookup stops at the first missing name, in binding order.
    EXPECT_EQ(library.detail(), "missing export PC_TO_BOX_Motortemp");
    EXPECT_EQ(library.functions().PC_TO_BOX_Drehzahl, nullptr);
}

TEST_F(AdaptBinding, ConversionParametersOverrideTheLibrary)
{
    const AdaptFunctions& f = adapt();
    const auto ini = platform::IniFile::fromText("[MISC]\r\n"
                                                 "MaxADDrosselklappe=1023\r\n"
                                                 "T_OhmR1=1000\r\n"
                                                 "T_Alpha=0.0079\r\n"
                                                 "T_VoltRef=4.5\r\n");
    ApplyConversionParameters(ini, f);
    EXPECT_EQ(*f.maxADDK, 1023);
    EXPECT_EQ(*f.T_OhmR1, 1000);
    EXPECT_DOUBLE_EQ(*f.T_Alpha, 0.0079);
    EXPECT_DOUBLE_EQ(*f.T_VoltRef, 4.5);
    // Missing keys keep the shipped values.
    EXPECT_DOUBLE_EQ(*f.T_Beta, 0.00001937);
    EXPECT_EQ(*f.T_TempRef, 25);
    EXPECT_EQ(*f.T_OhmBeiTempRef, 2000);
    EXPECT_EQ(f.PC_TO_BOX_Drosselklappe(100), 1023);
}

TEST_F(AdaptBinding, ShippedConversionParametersMatchTheLibrary)
{
    platform::IniFile ini;
    std::error_code ec;
    ASSERT_TRUE(ini.load(shippedCnf() / "InitValues.cfg", ec));
    ApplyConversionParameters(ini, adapt());
    EXPECT_EQ(adapt().PC_TO_BOX_Motortemp(25), 2380);
    EXPECT_EQ(adapt().PC_TO_BOX_Drosselklappe(100), 2550);
}

TEST_F(AdaptBinding, ZeroThrottleScaleIsRefused)
{
    // A zero full-scale value would make every throttle reading infinite.
    ApplyConversionParameters(platform::IniFile::fromText("[MISC]\nMaxADDrosselklappe=0\n"), adapt());
    EXPECT_EQ(*adapt().maxADDK, 2550);
    ApplyConversionParameters(platform::IniFile::fromText("[MISC]\nMaxADDrosselklappe=65536\n"), adapt());
    EXPECT_EQ(*adapt().maxADDK, 2550);
    EXPECT_DOUBLE_EQ(adapt().BOX_TO_PC_Drosselklappe(1275), 50.0);
}

} // namespace
} // namespace morvex::test
