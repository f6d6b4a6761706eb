#include "app/ini_file.h"

#include <gtest/gtest.h>

#include <limits>

TEST(ParseProfileInt, ReadsLeadingDecimalNumber) {
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"20", 20},
        {"  7  ", 7},
        {"-5", -5},
        {"+12", 12},
        {"15fps", 15},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"0x10", 0},
        {"99999999999999999999", std::numeric_limits<int32_t>::max()},
        {"-99999999999999999999", std::numeric_limits<int32_t>::min()},
        {"2147483647", std::numeric_limits<int32_t>::max()},
        {"-2147483648", std::numeric_limits<int32_t>::min()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseProfileInt(c.text), c.value) << c.text;
}

TEST(IniDocument, FindsKeysCaseInsensitivelyAndTrimsValues) {
    const IniDocument doc = IniDocument::Parse("; note\n[other]\nRate1=1\n[param]\n rate1 = 10 \n"
                                               "Name=\"Deja Vu\"\nRate1=99\n");
    EXPECT_EQ(doc.Value("Param", "Rate1"), "10");
    EXPECT_EQ(doc.Value("PARAM", "name"), "Deja Vu");
    EXPECT_EQ(doc.Value("Param", "Missing"), std::nullopt);
    EXPECT_EQ(doc.Value("Nowhere", "Rate1"), std::nullopt);
}

TEST(IniDocument, SetValueChangesOnlyThatLine) {
    const std::string before =
        "; keep me\n[A]\nx=1\n\n[Param]\nRate1=5\nOther = kept\n\n[B]\ny=2\n";
    IniDocument doc = IniDocument::Parse(before);
    doc.SetValue("Param", "Rate1", "20");
    doc.SetValue("Param", "Ratio", "70");
    EXPECT_EQ(doc.Serialize(),
              "; keep me\n[A]\nx=1\n\n[Param]\nRate1=20\nOther = kept\nRatio=70\n\n[B]\ny=2\n");
}

TEST(IniDocument, AddsMissingSectionAtTheEnd) {
    IniDocument doc = IniDocument::Parse("[A]\r\nx=1");
    doc.SetValue("Param", "Rate1", "20");
    EXPECT_EQ(doc.Serialize(), "[A]\r\nx=1\r\n\r\n[Param]\r\nRate1=20\r\n");

    IniDocument empty = IniDocument::Parse("");
    empty.SetValue("Param", "Rate1", "20");
    EXPECT_EQ(empty.Serialize(), "[Param]\nRate1=20\n");
}

TEST(IniDocument, ValuesCannotBreakTheLineStructure) {
    IniDocument doc = IniDocument::Parse("");
    doc.SetValue("Param", "DEFAULT_FONTNAME", "Evil\n[Param]\nRate1=0");
    EXPECT_EQ(doc.Value("Param", "Rate1"), std::nullopt);
    EXPECT_EQ(IniDocument::Parse(doc.Serialize()).Value("Param", "Rate1"), std::nullopt);
}

TEST(IniDocument, KeepsGarbageLinesUntouched) {
    static const char kBytes[] = "\x00\x01[\xff=\n==\n[\n]]\n";
    const std::string garbage(kBytes, sizeof kBytes - 1);
    IniDocument doc = IniDocument::Parse(garbage);
    EXPECT_EQ(doc.Serialize(), garbage);
    doc.SetValue("Param", "Rate1", "1");
    EXPECT_EQ(IniDocument::Parse(doc.Serialize()).Value("Param", "Rate1"), "1");
}

TEST(IniDocument, LoneCarriageReturnInAValueReadsAsTheBlankItIsWrittenAs) {
    IniDocument doc = IniDocument::Parse("[Param]\nName=\"Comic Sans\"\ram ]\n");
    EXPECT_EQ(doc.Value("Param", "Name"), "\"Comic Sans\" am ]");
    doc.SetValue("Param", "Name", *doc.Value("Param", "Name"));
    EXPECT_EQ(IniDocument::Parse(doc.Serialize()).Value("Param", "Name"), "\"Comic Sans\" am ]");
}

TEST(IniDocument, ValuesThatReadingWouldChangeAreWrittenInQuotes) {
    for (const std::string value :
         {" lead", "trail ", "\"quoted\"", "'single'", "\"", "\"'", "\tboth\t", ""}) {
        IniDocument doc = IniDocument::Parse("");
        doc.SetValue("Param", "Name", value);
        EXPECT_EQ(IniDocument::Parse(doc.Serialize()).Value("Param", "Name"), value) << value;
    }
    // Everyday values are written as they are.
    IniDocument doc = IniDocument::Parse("");
    doc.SetValue("Param", "Name", "Deja Vu Sans");
    EXPECT_EQ(doc.Serialize(), "[Param]\nName=Deja Vu Sans\n");
}

TEST(IniDocument, CarriageReturnsEndingAnUnterminatedLastLineDoNotTurnIntoWindowsBreaks) {
    for (const std::string before : {"\r", "\r\r", "x=1\r"}) {
        IniDocument doc = IniDocument::Parse(before);
        doc.SetValue("Param", "Rate1", "1");
        const std::string once = doc.Serialize();
        EXPECT_EQ(once.find("\r\n"), std::string::npos) << once;
        IniDocument again = IniDocument::Parse(once);
        again.SetValue("Param", "Rate1", "1");
        EXPECT_EQ(again.Serialize(), once);
    }
}
