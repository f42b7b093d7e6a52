#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <climits>
#include <fstream>
#include <sstream>

using platform::IniFile;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

// ---- reading --------------------------------------------------------------

TEST(IniRead, NamesMatchCaseInsensitivelyOnlyForAscii)
{
    const auto ini = IniFile::fromText("[Motor]\r\nIdleSpeed=800\r\n[\xC4nderung]\r\nk=1\r\n");
    EXPECT_EQ(ini.getString("MOTOR", "idlespeed"), "800");
    EXPECT_TRUE(ini.hasKey("mOtOr", "IDLESPEED"));
    EXPECT_TRUE(ini.hasSection("\xC4NDERUNG"));
    EXPECT_FALSE(ini.hasSection("\xE4nderung")); // Windows-1252 bytes are not folded
    EXPECT_EQ(ini.sectionNames(), (std::vector<std::string>{"Motor", "\xC4nderung"}));
    EXPECT_EQ(ini.keyNames("motor"), (std::vector<std::string>{"IdleSpeed"}));
}

TEST(IniRead, FirstSectionAndFirstKeyWin)
{
    const auto ini = IniFile::fromText("[A]\nk=1\nK=2\n[B]\nx=b\n[a]\nk=3\nonly=dup\n");
    EXPECT_EQ(ini.getString("A", "k"), "1");
    EXPECT_EQ(ini.getString("A", "only", "def"), "def"); // later [a] is ignored entirely
    EXPECT_EQ(ini.sectionNames(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(ini.keyNames("a"), (std::vector<std::string>{"k"}));
}

TEST(IniRead, OnlyKeyLinesInsideSectionsAreKeys)
{
    const auto ini = IniFile::fromText("orphan=1\n"
                                       "  [ Sec One ] trailing\n"
                                       ";c=2\n"
                                       "  ;d=3\n"
                                       "noequals\n"
                                       "=nameless\n"
                                       "v=b ;c\n"
                                       "\tspaced \t= \t a value \t\n"
                                       "m=a=b\n");
    EXPECT_EQ(ini.sectionNames(), (std::vector<std::string>{"Sec One"}));
    EXPECT_EQ(ini.getString("sec one", "orphan", "-"), "-");
    EXPECT_EQ(ini.getString("Sec One", ";c", "-"), "-");
    EXPECT_EQ(ini.getString("Sec One", "noequals", "-"), "-");
    EXPECT_EQ(ini.getString("Sec One", "v"), "b ;c"); // no inline comments
    EXPECT_EQ(ini.getString(" Sec One ", " spaced "), "a value");
    EXPECT_EQ(ini.getString("Sec One", "m"), "a=b");
    EXPECT_EQ(ini.keyNames("Sec One"), (std::vector<std::string>{"v", "spaced", "m"}));
}

TEST(IniRead, OneMatchingPairOfQuotesIsRemoved)
{
    const std::pair<std::string, std::string> cases[] = {
        {"\"abc\"", "abc"},   {"'abc'", "abc"},     {"\" a b \"", " a b "}, {"\"\"", ""},
        {"\"a\"b\"", "a\"b"}, {"\"abc'", "\"abc'"}, {"\"abc", "\"abc"},     {"\"", "\""},
    };
    for (const auto& [raw, expected] : cases) {
        const auto ini = IniFile::fromText("[S]\nk=" + raw + "\n");
        EXPECT_EQ(ini.getString("S", "k"), expected) << raw;
    }
}

TEST(IniRead, EmptyValueIsNoDefaultButMissingIs)
{
    const auto ini = IniFile::fromText("[S]\nempty=\n");
    EXPECT_EQ(ini.getString("S", "empty", "def"), "");
    EXPECT_TRUE(ini.hasKey("S", "empty"));
    EXPECT_EQ(ini.getString("S", "missing", "def  \t"), "def");
    EXPECT_EQ(ini.getString("T", "k", "  x "), "  x");
    EXPECT_EQ(IniFile{}.getString("S", "k", "d "), "d");
}

TEST(IniRead, ReadsAreCutToMaxChars)
{
    const std::string longValue(2100, 'x');
    const auto ini = IniFile::fromText("[S]\nlong=" + longValue + "\nq=\"abcd\"\n");
    EXPECT_EQ(ini.getString("S", "long").size(), IniFile::kDefaultMaxChars);
    EXPECT_EQ(ini.getString("S", "long", {}, 5000), longValue);
    EXPECT_EQ(ini.getString("S", "q", {}, 2), "ab"); // quotes go first
    EXPECT_EQ(ini.getString("S", "missing", "abcdef", 3), "abc");
    EXPECT_EQ(ini.getString("S", "q", {}, 0), "");
}

TEST(IniRead, GetIntParsesLikeWindows)
{
    const std::pair<std::string, int> cases[] = {
        {" 42 ", 42}, {"-7", -7},     {"+9", 9},  {"0x1F", 31},       {"0X1f", 31},      {"-0x10", -16},
        {"0o17", 15}, {"0b101", 5},   {"abc", 0}, {"12abc", 12},      {"1.5", 1},        {"- 5", 0},
        {"0x", 0},    {"\"77\"", 77}, {"007", 7}, {"4294967295", -1}, {"4294967296", 0}, {"2147483648", INT_MIN},
    };
    for (const auto& [raw, expected] : cases) {
        const auto ini = IniFile::fromText("[S]\nk=" + raw + "\n");
        EXPECT_EQ(ini.getInt("S", "k", 99), expected) << raw;
    }
    const auto ini = IniFile::fromText("[S]\nempty=\nquoted=\"\"\n");
    EXPECT_EQ(ini.getInt("S", "empty", 5), 5);
    EXPECT_EQ(ini.getInt("S", "quoted", 5), 5);
    EXPECT_EQ(ini.getInt("S", "missing", -3), -3);
}

TEST(IniRead, ToleratesMissingFinalNewlineAndNulBytes)
{
    const std::string text = "[S]\r\na=x\0y\r\nb=2"s;
    const auto ini = IniFile::fromText(text);
    // A value ends at a NUL, as a C string from the Windows call would.
    EXPECT_EQ(ini.getString("S", "a"), "x");
    EXPECT_EQ(ini.getInt("S", "b", 0), 2);
    EXPECT_EQ(ini.text(), text);
}

// ---- writing --------------------------------------------------------------

TEST(IniWrite, ChangeInPlaceKeepsSpellingAndLineEnd)
{
    auto ini = IniFile::fromText("[Engine]\n  IdleSpeed = 800 \nOther=1\r\nLast=x");
    EXPECT_TRUE(ini.setString("ENGINE", "idlespeed", "900"));
    EXPECT_TRUE(ini.setInt("engine", "other", -2));
    EXPECT_TRUE(ini.setString("engine", "LAST", "y"));
    EXPECT_EQ(ini.text(), "[Engine]\nIdleSpeed=900\nOther=-2\r\nLast=y\r\n");
    EXPECT_EQ(ini.getInt("Engine", "Other", 0), -2);
    EXPECT_TRUE(ini.isModified());
}

TEST(IniWrite, NewKeyFollowsLastKeyLineOfItsSection)
{
    auto ini = IniFile::fromText("[A]\r\nk1=1\r\n\r\n; about B\r\n"
                                 "[B]\n;only a comment\nnoequals\n"
                                 "[C]");
    EXPECT_TRUE(ini.setString("a", "k2", "2"));
    EXPECT_TRUE(ini.setString("B", "n", "v"));
    EXPECT_TRUE(ini.setString("c", "c", "3"));
    EXPECT_EQ(ini.text(), "[A]\r\nk1=1\r\nk2=2\r\n\r\n; about B\r\n"
                          "[B]\nn=v\r\n;only a comment\nnoequals\n"
                          "[C]\r\nc=3\r\n");
}

TEST(IniWrite, NewSectionGoesToTheEnd)
{
    auto ini = IniFile::fromText("; top\r\n[A]\r\nk=1");
    EXPECT_TRUE(ini.setString(" New ", " key ", "v"));
    EXPECT_EQ(ini.text(), "; top\r\n[A]\r\nk=1\r\n[New]\r\nkey=v\r\n");

    IniFile empty;
    EXPECT_TRUE(empty.setString("S", "k", "v"));
    EXPECT_EQ(empty.text(), "[S]\r\nk=v\r\n");

    auto commentOnly = IniFile::fromText("; c");
    EXPECT_TRUE(commentOnly.setString("S", "k", "v"));
    EXPECT_EQ(commentOnly.text(), "; c\r\n[S]\r\nk=v\r\n");
}

TEST(IniWrite, WritesGoToTheFirstOfDuplicateSections)
{
    auto ini = IniFile::fromText("[A]\nx=1\n[a]\nk=old\n");
    EXPECT_TRUE(ini.setString("A", "k", "new"));
    EXPECT_EQ(ini.text(), "[A]\nx=1\nk=new\r\n[a]\nk=old\n");
}

TEST(IniWrite, NullValueDeletesOnlyTheKeyLine)
{
    auto ini = IniFile::fromText("[S]\nA=1\n; note\nB=2\nC=3\n[T]\nB=4\n");
    EXPECT_TRUE(ini.setString("s", "b", std::nullopt));
    EXPECT_EQ(ini.text(), "[S]\nA=1\n; note\nC=3\n[T]\nB=4\n");
    EXPECT_TRUE(ini.isModified());

    auto untouched = IniFile::fromText("[S]\nA=1\n");
    EXPECT_TRUE(untouched.setString("S", "missing", std::nullopt));
    EXPECT_TRUE(untouched.setString("Missing", "A", std::nullopt));
    EXPECT_EQ(untouched.text(), "[S]\nA=1\n");
    EXPECT_FALSE(untouched.isModified());
}

TEST(IniWrite, RemoveSectionDropsHeaderAndAllItsLines)
{
    auto ini = IniFile::fromText("; top\n[A]\na=1\n; about B\n[B]\nb=2\n[C]\nc=3");
    EXPECT_FALSE(ini.removeSection("missing"));
    EXPECT_FALSE(ini.isModified());
    EXPECT_TRUE(ini.removeSection("b"));
    EXPECT_EQ(ini.text(), "; top\n[A]\na=1\n; about B\n[C]\nc=3");
    EXPECT_TRUE(ini.removeSection("A"));
    EXPECT_EQ(ini.sectionNames(), (std::vector<std::string>{"C"}));
    EXPECT_TRUE(ini.setString("C", "d", "4")); // the index follows the removals
    EXPECT_EQ(ini.text(), "; top\n[C]\nc=3\r\nd=4\r\n");
    EXPECT_TRUE(ini.isModified());
}

TEST(IniWrite, UntouchedBytesSurviveExactly)
{
    const std::string before = "; Kennfeld \xE4\xF6\xFC \x80\r\n"
                               "\r\n"
                               "[Map1]\r\n"
                               "Name=Z\xFCndung\r\n"
                               "Foreign = keep  me \n"
                               "Data=1,2,3\r\n"
                               "\t; comment\r\n"
                               "[Map2]\n"
                               "Name=x\n"
                               "Bin=a\0b\n"s;
    auto ini = IniFile::fromText(before);
    EXPECT_EQ(ini.text(), before);
    EXPECT_TRUE(ini.setString("map1", "data", "4,5,6"));
    EXPECT_TRUE(ini.setString("Map2", "New", "\xE9t\xE9"));
    EXPECT_EQ(ini.text(), "; Kennfeld \xE4\xF6\xFC \x80\r\n"
                          "\r\n"
                          "[Map1]\r\n"
                          "Name=Z\xFCndung\r\n"
                          "Foreign = keep  me \n"
                          "Data=4,5,6\r\n"
                          "\t; comment\r\n"
                          "[Map2]\n"
                          "Name=x\n"
                          "Bin=a\0b\n"
                          "New=\xE9t\xE9\r\n"s);
}

TEST(IniWrite, SameValueDoesNotModify)
{
    auto ini = IniFile::fromText("[S]\nk = v \nn=5\n");
    EXPECT_TRUE(ini.setString("s", "K", "v"));
    EXPECT_TRUE(ini.setInt("S", "n", 5));
    EXPECT_FALSE(ini.isModified());
    EXPECT_EQ(ini.text(), "[S]\nk = v \nn=5\n");
    EXPECT_TRUE(ini.setString("S", "k", "w"));
    EXPECT_TRUE(ini.isModified());
}

TEST(IniWrite, RefusesWritesThatWouldBreakTheFile)
{
    struct Case {
        std::string section, key;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"S", "k", "a\r\nb=c"}, {"S", "k", "a\nb"}, {"S", "k", "a\0b"s}, {"S", "k\n", "v"}, {"S", "k\r", "v"},
        {"S\n[X]", "k", "v"},   {"S]", "k", "v"},   {"S\0"s, "k", "v"},  {"S", "a=b", "v"}, {"S", ";k", "v"},
        {"S", " ;k", "v"},      {"S", "[k", "v"},   {"S", "", "v"},      {"S", " \t", "v"}, {"S", "k=", std::nullopt},
    };
    for (const auto& c : cases) {
        auto ini = IniFile::fromText("[S]\nk=1\n");
        EXPECT_FALSE(ini.setString(c.section, c.key, c.value)) << c.section << "/" << c.key;
        EXPECT_EQ(ini.text(), "[S]\nk=1\n");
        EXPECT_FALSE(ini.isModified());
    }
}

TEST(IniWrite, ClearStartsAnEmptyFile)
{
    auto ini = IniFile::fromText("; c\n[S]\nk=1\n");
    ini.clear();
    EXPECT_TRUE(ini.isModified());
    EXPECT_FALSE(ini.hasSection("S"));
    EXPECT_TRUE(ini.setString("S", "n", "2"));
    EXPECT_EQ(ini.text(), "[S]\r\nn=2\r\n");
}

TEST(IniWrite, ManySectionsStayConsistent)
{
    const std::string longValue(2100, 'v');
    IniFile ini;
    for (int s = 0; s < 100; ++s) {
        for (int k = 0; k < 3; ++k)
            ASSERT_TRUE(ini.setString("Map" + std::to_string(s), "K" + std::to_string(k),
                                      longValue + std::to_string(s * 10 + k)));
    }
    auto reloaded = IniFile::fromText(ini.text());
    for (int s = 0; s < 100; s += 2)
        ASSERT_TRUE(reloaded.removeSection("MAP" + std::to_string(s)));
    EXPECT_TRUE(reloaded.setString("map51", "k1", "changed"));
    EXPECT_EQ(reloaded.sectionNames().size(), 50u);
    EXPECT_EQ(reloaded.getString("Map51", "K1", {}, 5000), "changed");
    EXPECT_EQ(reloaded.getString("Map99", "K2", {}, 5000), longValue + "992");
    EXPECT_EQ(reloaded.getString("Map98", "K2", "gone"), "gone");
}

// ---- Unicode files ---------------------------------------------------------

// The bytes a Windows editor saves for "Unicode" (little-endian) or
// "Unicode big endian", mark included; written out here rather than with
// the code under test.
std::string utf16File(std::u16string_view text, bool bigEndian = false)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : text) {
        const char low = static_cast<char>(c & 0xFF);
        const char high = static_cast<char>(c >> 8);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

TEST(IniUnicode, Utf16FileIsReadAndWrittenAsUtf16)
{
    // A lone surrogate and a character outside the BMP in untouched lines.
    const std::u16string original = u"; \U0001F3CD \xD800 note\r\n"
                                    u"[Anzeige]\r\n"
                                    u"Einheit=\u00B0C\r\n"
                                    u"Sonde=\u03BB-Sonde\r\n"
                                    u"\r\n"
                                    u"[\u00C4nderung]\r\n"
                                    u"k=\"1\"";
    for (const bool bigEndian : {false, true}) {
        IniFile ini = IniFile::fromText(utf16File(original, bigEndian));
        EXPECT_EQ(ini.encoding(), bigEndian ? platform::TextEncoding::Utf16Be : platform::TextEncoding::Utf16Le);
        EXPECT_EQ(ini.getString("anzeige", "EINHEIT"), "\xB0"
                                                       "C");
        EXPECT_EQ(ini.getString("Anzeige", "Sonde"), "?-Sonde"); // no Windows-1252 form
        EXPECT_EQ(ini.getString("Anzeige", "Einheit", {}, 1), "\xB0");
        EXPECT_EQ(ini.getInt("\xC4nderung", "k", -1), 1);
        EXPECT_EQ(ini.sectionNames(), (std::vector<std::string>{"Anzeige", "\xC4nderung"}));
        EXPECT_EQ(ini.text(), utf16File(original, bigEndian)) << "read and not changed";

        ASSERT_TRUE(ini.setString("Anzeige", "Druck", "\x80 mbar"));
        ASSERT_TRUE(ini.setString("\xC4nderung", "k", std::nullopt));
        ASSERT_TRUE(ini.setString("Neu", "x", "1"));
        const std::u16string expected = u"; \U0001F3CD \xD800 note\r\n"
                                        u"[Anzeige]\r\n"
                                        u"Einheit=\u00B0C\r\n"
                                        u"Sonde=\u03BB-Sonde\r\n"
                                        u"Druck=\u20AC mbar\r\n"
                                        u"\r\n"
                                        u"[\u00C4nderung]\r\n"
                                        u"[Neu]\r\n"
                                        u"x=1\r\n";
        EXPECT_EQ(ini.text(), utf16File(expected, bigEndian));
    }
}

TEST(IniUnicode, Utf8MarkedFileKeepsItsMarkAndEncoding)
{
    IniFile ini = IniFile::fromText("\xEF\xBB\xBF[S]\r\nk=Gr\xC3\xBC\xC3\x9F"
                                    "e\r\n");
    EXPECT_EQ(ini.getString("S", "k"), "Gr\xFC\xDF"
                                       "e");
    ASSERT_TRUE(ini.setString("S", "n", "\xE4"));
    EXPECT_EQ(ini.text(), "\xEF\xBB\xBF[S]\r\nk=Gr\xC3\xBC\xC3\x9F"
                          "e\r\nn=\xC3\xA4\r\n");
    ini.clear(); // Save As starts a plain file
    ASSERT_TRUE(ini.setString("S", "n", "\xE4"));
    EXPECT_EQ(ini.text(), "[S]\r\nn=\xE4\r\n");
}

// ---- load and save --------------------------------------------------------

class IniFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "morvex-ini-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    static std::string contentOf(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    fs::path dir_;
};

TEST_F(IniFileOnDisk, MissingFileLoadsEmptyAndSaveCreatesIt)
{
    const fs::path path = dir_ / "new.ini";
    IniFile ini = IniFile::fromText("[Old]\nk=1\n");
    std::error_code ec;
    ASSERT_TRUE(ini.load(path, ec));
    EXPECT_FALSE(ec);
    EXPECT_EQ(ini.text(), "");
    EXPECT_FALSE(ini.isModified());
    ASSERT_TRUE(ini.setString("S", "k", "v"));
    ASSERT_TRUE(ini.save(path, ec)) << ec.message();
    EXPECT_FALSE(ini.isModified());
    EXPECT_EQ(contentOf(path), "[S]\r\nk=v\r\n");
}

TEST_F(IniFileOnDisk, LoadChangeSaveKeepsTheRestOfTheFile)
{
    const fs::path path = dir_ / "data.ini";
    std::ofstream(path, std::ios::binary) << "; c\n[S]\r\nk=1\r\nx=\xFC\n";
    IniFile ini;
    std::error_code ec;
    ASSERT_TRUE(ini.load(path, ec));
    ASSERT_TRUE(ini.setString("S", "k", "2"));
    ASSERT_TRUE(ini.save(path, ec));
    EXPECT_EQ(contentOf(path), "; c\n[S]\r\nk=2\r\nx=\xFC\n");
}

TEST_F(IniFileOnDisk, FailedSaveKeepsModifiedAndOldFile)
{
    const fs::path path = dir_ / "data.ini";
    std::ofstream(path, std::ios::binary) << "[S]\nk=1\n";
    IniFile ini;
    std::error_code ec;
    ASSERT_TRUE(ini.load(path, ec));
    ASSERT_TRUE(ini.setString("S", "k", "2"));
    const platform::AtomicWriteHooks crash{[] { return false; }};
    EXPECT_FALSE(ini.save(path, ec, &crash));
    EXPECT_TRUE(ini.isModified());
    EXPECT_EQ(contentOf(path), "[S]\nk=1\n");
}

TEST_F(IniFileOnDisk, DamagedUtf16FileIsReadButNeverReplaced)
{
    const fs::path path = dir_ / "Labels.en";
    const std::string damaged = utf16File(u"[Labels]\r\nRevolutions=U/min\r\n") + "\x0A";
    std::ofstream(path, std::ios::binary) << damaged;
    IniFile ini;
    std::error_code ec;
    ASSERT_TRUE(ini.load(path, ec));
    EXPECT_EQ(ini.getString("Labels", "Revolutions"), "U/min");
    ASSERT_TRUE(ini.setString("Labels", "CO", "CO"));
    EXPECT_FALSE(ini.save(path, ec));
    EXPECT_EQ(ec, platform::IniFileError::UnicodeNotRewritable);
    EXPECT_EQ(contentOf(path), damaged);
}

TEST_F(IniFileOnDisk, UnreadablePathIsAnError)
{
    IniFile ini = IniFile::fromText("[S]\nk=1\n");
    std::error_code ec;
    EXPECT_FALSE(ini.load(dir_, ec));
    EXPECT_TRUE(ec);
    EXPECT_TRUE(ini.hasKey("S", "k")); // a failed load leaves the content alone
}

} // namespace
