#pragma once
// CAboutDlg: the program's name and version, its legal line, links to the web
// site and to support, and an optional line a distributor may set.
#include <QDialog>

class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    enum ControlId {
        IDC_VERSION = 8200,
        IDC_LEGAL = 8201,
        IDC_WEBSITE = 8203,
        IDC_SUPPORT = 8204,
        IDC_CUSTOM_INFO = 8206,
        IDC_BANNER = 8150,
    };

    explicit CAboutDlg(QWidget* parent = nullptr);

    QString VersionText() const;
    QString LegalText() const;
    // The address the web-site link opens: "ProductLink" of section "Custom"
    // in the program's settings when it is set, the program's site otherwise.
    QString WebsiteTarget() const;
    QString SupportTarget() const;
    QString CustomInfoText() const;

private:
    QLabel* version_ = nullptr;
    QLabel* legal_ = nullptr;
    QLabel* website_ = nullptr;
    QLabel* support_ = nullptr;
    QLabel* customInfo_ = nullptr;
    QString websiteTarget_;
};
