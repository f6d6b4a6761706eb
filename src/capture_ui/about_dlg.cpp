#include "capture_ui/about_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QUrl>
#include <QVBoxLayout>

#include "capture_ui/frame_painting.h"
#include "widgets/program_info.h"

namespace {

QString CustomValue(const QString& key) {
    QSettings settings(QStringLiteral("Frameloop"), QStringLiteral("Frameloop"));
    return settings.value(QStringLiteral("Custom/") + key).toString();
}

QString LinkMarkup(const QString& target, const QString& text) {
    return QStringLiteral("<a href=\"%1\">%2</a>")
        .arg(target.toHtmlEscaped(), text.toHtmlEscaped());
}

QLabel* LinkLabel(QWidget* parent, const QString& target, const QString& text) {
    auto* label = new QLabel(LinkMarkup(target, text), parent);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    label->setOpenExternalLinks(true);
    // Read as the link's text without markup, and where it leads.
    label->setAccessibleName(text);
    label->setAccessibleDescription(QStringLiteral("Opens %1").arg(target));
    return label;
}

// The banner: the title band's colours and the program's name, 408 x 88.
QPixmap Banner(qreal ratio) {
    const QSize size(408, 88);
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, frame_painting::kLightBlue);
    g.setColorAt(1, frame_painting::kFrameBlue);
    p.fillRect(QRect(QPoint(0, 0), size), g);
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(34);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(20, 0, size.width() - 20, size.height()), Qt::AlignLeft | Qt::AlignVCenter,
               program_info::ApplicationTitle());
    return pixmap;
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About"));
    const QString customLink = CustomValue(QStringLiteral("ProductLink"));
    websiteTarget_ = customLink.isEmpty() ? program_info::WebsiteAddress() : customLink;

    auto* banner = new QLabel(this);
    banner->setPixmap(Banner(devicePixelRatioF()));
    banner->setScaledContents(true);
    banner->setFixedHeight(88);
    // The program's name is painted into the picture.
    banner->setAccessibleName(program_info::ApplicationTitle());

    version_ = new QLabel(program_info::VersionLine(), this);
    legal_ = new QLabel(program_info::LegalLine(), this);
    legal_->setWordWrap(true);
    website_ = LinkLabel(this, websiteTarget_, program_info::WebsiteText());
    support_ = LinkLabel(this, program_info::SupportAddress(), program_info::SupportText());
    customInfo_ = new QLabel(CustomValue(QStringLiteral("CustomInfo")), this);
    customInfo_->setWordWrap(true);

    auto* links = new QGridLayout;
    auto* websiteCaption = new QLabel(QStringLiteral("Website:"), this);
    auto* supportCaption = new QLabel(QStringLiteral("Support:"), this);
    // The captions label their links for assistive tools.
    websiteCaption->setBuddy(website_);
    supportCaption->setBuddy(support_);
    links->addWidget(websiteCaption, 0, 0);
    links->addWidget(website_, 0, 1);
    links->addWidget(supportCaption, 1, 0);
    links->addWidget(support_, 1, 1);
    links->setColumnStretch(1, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(banner);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(12, 4, 12, 0);
    body->addWidget(version_);
    body->addWidget(legal_);
    body->addLayout(links);
    body->addWidget(customInfo_);
    body->addWidget(buttons);
    layout->addLayout(body);
    setFixedWidth(411);
}

QString CAboutDlg::VersionText() const {
    return version_->text();
}
QString CAboutDlg::LegalText() const {
    return legal_->text();
}
QString CAboutDlg::WebsiteTarget() const {
    return websiteTarget_;
}
QString CAboutDlg::SupportTarget() const {
    return program_info::SupportAddress();
}
QString CAboutDlg::CustomInfoText() const {
    return customInfo_->text();
}
