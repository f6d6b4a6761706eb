// The subtitle list's edit rules on plain records: which typed values are
// taken, how numbers are read, what the edit box accepts, and how a text that
// does not fit the record is cut.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "editor/subtitle_cell_rules.h"

namespace {

constexpr int32_t kFrameCount = 20;

struct Record {
    int32_t firstFrame, lastFrame, x, y;
    std::string text;
    bool operator==(const Record&) const = default;
};

void PrintTo(const Record& r, std::ostream* os) {
    *os << "{" << r.firstFrame << ".." << r.lastFrame << " at " << r.x << "," << r.y << " \""
        << r.text << "\"}";
}

SubtitleItem Make(const Record& r) {
    SubtitleItem s;
    s.firstFrame = r.firstFrame;
    s.lastFrame = r.lastFrame;
    s.x = r.x;
    s.y = r.y;
    std::strncpy(s.text.text, r.text.c_str(), sizeof(s.text.text) - 1);
    return s;
}

Record Read(const SubtitleItem& s) {
    return {s.firstFrame, s.lastFrame, s.x, s.y, std::string(s.text.text)};
}

const Record kBefore{3, 10, 40, 200, "Old words"};

Record With(void (*change)(Record&)) {
    Record r = kBefore;
    change(r);
    return r;
}

struct EndCase {
    const char* what;
    int column;
    QString typed;
    bool shown;
    Record after;
};

void PrintTo(const EndCase& c, std::ostream* os) {
    *os << c.what;
}

class EndRule : public ::testing::TestWithParam<EndCase> {};

TEST_P(EndRule, TakesOnlyValidValues) {
    const EndCase& c = GetParam();
    SubtitleItem subtitle = Make(kBefore);
    EXPECT_EQ(EndSubtitleCellEdit(subtitle, c.column, c.typed, kFrameCount), c.shown);
    EXPECT_EQ(Read(subtitle), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Columns, EndRule,
    ::testing::Values(
        EndCase{"start 0 refused", kStartColumn, "0", false, kBefore},
        EndCase{"start above the end refused", kStartColumn, "11", false, kBefore},
        EndCase{"start empty reads 0, refused", kStartColumn, "", false, kBefore},
        EndCase{"start negative refused", kStartColumn, "-4", false, kBefore},
        EndCase{"start 007 is 7", kStartColumn, "007", true,
                With([](Record& r) { r.firstFrame = 7; })},
        EndCase{"start 1 is the lowest", kStartColumn, "1", true,
                With([](Record& r) { r.firstFrame = 1; })},
        EndCase{"start equal to the end", kStartColumn, "10", true,
                With([](Record& r) { r.firstFrame = 10; })},
        EndCase{"start read like strtol", kStartColumn, " \t+5 frames", true,
                With([](Record& r) { r.firstFrame = 5; })},
        EndCase{"end above the frame count refused", kEndColumn, "21", false, kBefore},
        EndCase{"end below the start refused", kEndColumn, "2", false, kBefore},
        EndCase{"end equal to the frame count", kEndColumn, "20", true,
                With([](Record& r) { r.lastFrame = 20; })},
        EndCase{"end equal to the start", kEndColumn, "3", true,
                With([](Record& r) { r.lastFrame = 3; })},
        EndCase{"end overflowing refused", kEndColumn, "99999999999", false, kBefore},
        EndCase{"empty text keeps the old text", kTextColumn, "", false, kBefore},
        EndCase{"text replaced", kTextColumn, "New words", true,
                With([](Record& r) { r.text = "New words"; })},
        EndCase{"text of blanks is still text", kTextColumn, "  ", true,
                With([](Record& r) { r.text = "  "; })},
        EndCase{"cleared x is 0", kPositionXColumn, "", true, With([](Record& r) { r.x = 0; })},
        EndCase{"x without digits is 0", kPositionXColumn, "abc", true,
                With([](Record& r) { r.x = 0; })},
        EndCase{"x negative", kPositionXColumn, "-12", true, With([](Record& r) { r.x = -12; })},
        EndCase{"x saturates high", kPositionXColumn, "99999999999", true,
                With([](Record& r) { r.x = 2147483647; })},
        EndCase{"y saturates low", kPositionYColumn, "-99999999999", true,
                With([](Record& r) { r.y = -2147483647 - 1; })},
        EndCase{"y after blanks, digits up to the first other", kPositionYColumn, "\n 42x7", true,
                With([](Record& r) { r.y = 42; })},
        EndCase{"a sign alone is 0", kPositionYColumn, "-", true, With([](Record& r) { r.y = 0; })},
        EndCase{"no such column", 5, "9", false, kBefore}));

TEST(EndRule, NonAsciiTextRoundTrips) {
    const QString text = QStringLiteral("Grüße, 日本語, Ελληνικά 🎉");
    SubtitleItem subtitle = Make(kBefore);
    ASSERT_TRUE(EndSubtitleCellEdit(subtitle, kTextColumn, text, kFrameCount));
    EXPECT_EQ(QByteArray(subtitle.text.text), text.toUtf8());
    EXPECT_EQ(SubtitleText(subtitle), text);
}

struct CutCase {
    const char* what;
    QString text;
    int keptBytes;
};

void PrintTo(const CutCase& c, std::ostream* os) {
    *os << c.what;
}

QString As(int count) {
    return QString(count, u'a');
}

class LongText : public ::testing::TestWithParam<CutCase> {};

TEST_P(LongText, IsCutAfterTheLastWholeCharacterThatFits) {
    const CutCase& c = GetParam();
    SubtitleItem subtitle = Make(kBefore);
    ASSERT_TRUE(EndSubtitleCellEdit(subtitle, kTextColumn, c.text, kFrameCount));
    const QByteArray stored(subtitle.text.text);
    EXPECT_EQ(stored.size(), c.keptBytes);
    EXPECT_EQ(subtitle.text.text[sizeof(subtitle.text.text) - 1], '\0');
    // What is stored is the start of what was typed, and whole characters only.
    EXPECT_TRUE(c.text.toUtf8().startsWith(stored));
    const QString back = QString::fromUtf8(stored);
    EXPECT_EQ(back.toUtf8(), stored);
    EXPECT_FALSE(back.contains(QChar::ReplacementCharacter));
    EXPECT_TRUE(c.text.startsWith(back));
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, LongText,
    ::testing::Values(
        CutCase{"exactly full", As(4095), 4095}, CutCase{"one byte over", As(4096), 4095},
        CutCase{"two-byte letter across the end", As(4094) + QStringLiteral("é"), 4094},
        CutCase{"three-byte letter across the end", As(4093) + QStringLiteral("日本"), 4093},
        CutCase{"four-byte symbol across the end", As(4092) + QStringLiteral("🎉"), 4092},
        CutCase{"letter with its accent", As(4093) + QStringLiteral("e\u0301"), 4093},
        CutCase{"long non-ASCII text", QString(3000, QChar(0x00E9)), 4094}));

TEST(LongText, ShortTextIsKeptWhole) {
    EXPECT_EQ(Utf8CutToFit(QStringLiteral("日本"), 6), QByteArray("日本"));
    EXPECT_EQ(Utf8CutToFit(QStringLiteral("日本"), 5), QByteArray("日"));
    EXPECT_EQ(Utf8CutToFit(QStringLiteral("日本"), 2), QByteArray());
}

struct TypingCase {
    int column;
    QString cell;
    QString typed;
    QString shows;
};

void PrintTo(const TypingCase& c, std::ostream* os) {
    *os << "column " << c.column << " cell \"" << c.cell.toStdString() << "\" typed \""
        << c.typed.toStdString() << "\"";
}

// Typing `text` as key presses carrying it (QTest's key clicks take ASCII only).
void TypeText(QWidget& target, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(&target, &press);
}

class BeginRule : public ::testing::TestWithParam<TypingCase> {};

// The box opens with the whole cell selected, so typing replaces it.
TEST_P(BeginRule, SelectsAllAndTakesDigitsOnlyOutsideTheText) {
    const TypingCase& c = GetParam();
    QLineEdit editor;
    BeginSubtitleCellEdit(editor, c.column, c.cell);
    EXPECT_EQ(editor.text(), c.cell);
    EXPECT_EQ(editor.selectedText(), c.cell);
    QTest::keyClicks(&editor, c.typed);
    EXPECT_EQ(editor.text(), c.shows);
}

INSTANTIATE_TEST_SUITE_P(Columns, BeginRule,
                         ::testing::Values(TypingCase{kStartColumn, "12", "x7y", "7"},
                                           TypingCase{kEndColumn, "20", "-3", "3"},
                                           TypingCase{kPositionXColumn, "5", "+1 2", "12"},
                                           TypingCase{kPositionYColumn, "", "abc", ""},
                                           TypingCase{kTextColumn, "Old", "x7 y!", "x7 y!"}));

TEST(BeginRule, NegativePositionStaysEditable) {
    QLineEdit editor;
    BeginSubtitleCellEdit(editor, kPositionXColumn, QStringLiteral("-5"));
    editor.end(false);
    QTest::keyClicks(&editor, QStringLiteral("3-"));
    EXPECT_EQ(editor.text(), QStringLiteral("-53"));
    // The same box, opened on a positive cell, takes no minus again.
    BeginSubtitleCellEdit(editor, kPositionXColumn, QStringLiteral("5"));
    editor.home(false);
    QTest::keyClicks(&editor, QStringLiteral("-"));
    EXPECT_EQ(editor.text(), QStringLiteral("5"));
}

TEST(BeginRule, TextBoxNeverHoldsMoreThanTheRecord) {
    QLineEdit editor;
    BeginSubtitleCellEdit(editor, kTextColumn, As(4094));
    editor.end(false);
    TypeText(editor, QStringLiteral("é"));
    EXPECT_EQ(editor.text(), As(4094));
    QTest::keyClicks(&editor, QStringLiteral("b"));
    EXPECT_EQ(editor.text(), As(4094) + u'b');

    // A paste keeps as much of its start as fits, before the text after the cursor.
    BeginSubtitleCellEdit(editor, kTextColumn, QStringLiteral("[]"));
    editor.setCursorPosition(1);
    editor.insert(QString(3000, QChar(0x65E5)));
    const QString shown = editor.text();
    EXPECT_LE(shown.toUtf8().size(), 4095);
    EXPECT_EQ(shown, u'[' + QString(1364, QChar(0x65E5)) + u']');
    EXPECT_EQ(editor.cursorPosition(), 1365);
}

} // namespace
