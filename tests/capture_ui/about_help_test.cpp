// The About dialog's lines and links, and the shipped help page.
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include "capture_ui/about_dlg.h"
#include "capture_ui/help_page.h"
#include "widgets/program_info.h"

namespace {

class About : public ::testing::Test {
protected:
    void SetUp() override {
        QStandardPaths::setTestModeEnabled(true);
        Custom().remove("Custom");
    }
    void TearDown() override { Custom().remove("Custom"); }
    static QSettings Custom() { return QSettings("Frameloop", "Frameloop"); }
};

TEST_F(About, VersionFromTheBuildAndDefaultLinks) {
    CAboutDlg dialog;
    const auto parts = program_info::VersionParts();
    EXPECT_EQ(dialog.VersionText(), QString("Frameloop Version %1.%2.%3.%4")
                                        .arg(parts[0])
                                        .arg(parts[1])
                                        .arg(parts[2])
                                        .arg(parts[3]));
    EXPECT_EQ(dialog.windowTitle(), "About");
    EXPECT_FALSE(dialog.LegalText().isEmpty());
    EXPECT_EQ(dialog.WebsiteTarget(), program_info::WebsiteAddress());
    EXPECT_TRUE(dialog.SupportTarget().startsWith("mailto:"));
    EXPECT_TRUE(dialog.CustomInfoText().isEmpty());
}

TEST_F(About, CustomProfileValues) {
    {
        QSettings s = Custom();
        s.setValue("Custom/ProductLink", "https://example.net/product");
        s.setValue("Custom/CustomInfo", "Packaged by Example");
    }
    CAboutDlg dialog;
    EXPECT_EQ(dialog.WebsiteTarget(), "https://example.net/product");
    EXPECT_EQ(dialog.CustomInfoText(), "Packaged by Example");
}

TEST(HelpPage, ShippedPageExplainsBlackRecordings) {
    QStandardPaths::setTestModeEnabled(true);
    const QString path = help_page::WriteBlankGifHelp();
    ASSERT_FALSE(path.isEmpty());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(html.contains("Why Created GIF is Blank"));
    EXPECT_TRUE(html.contains("Wayland"));
    EXPECT_TRUE(html.contains("overlay"));
    EXPECT_TRUE(html.contains("X11"));
}

} // namespace
