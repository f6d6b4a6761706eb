#include "widgets/progress_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>

#include <algorithm>

namespace {

const char* const kControlIdProperty = "controlId";
// The frame edges the button and the bar are inset by.
constexpr int kEdge = 2;
const QString kCancelLabel = QStringLiteral(" Cancel ");

QFont MessageFont() {
    return QApplication::font("QMessageBox");
}

} // namespace

CProgressWindow::CProgressWindow(QWidget* owner, const QString& title)
    : QWidget(owner ? owner : QApplication::activeWindow(),
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      owner_(parentWidget()), title_(title) {
    setWindowTitle(title_);
    setAccessibleName(title_);
    setCursor(Qt::BusyCursor);

    message_ = new QLabel(this);
    message_->setTextFormat(Qt::PlainText);
    message_->setProperty(kControlIdProperty, int(IDC_MESSAGE));
    bar_ = new QProgressBar(this);
    bar_->setTextVisible(false);
    bar_->setProperty(kControlIdProperty, int(IDC_PROGRESS));
    bar_->setAccessibleName(QStringLiteral("Progress"));
    cancel_ = new QPushButton(kCancelLabel, this);
    cancel_->setProperty(kControlIdProperty, int(IDC_CANCEL));
    cancel_->setAccessibleName(QStringLiteral("Cancel"));
    cancel_->setCursor(Qt::ArrowCursor);
    connect(cancel_, &QPushButton::clicked, this, &CProgressWindow::Cancel);

    const QFont font = MessageFont();
    message_->setFont(font);
    cancel_->setFont(font);
    SetBounds(lower_, upper_, step_);
    Layout();
    PlaceOnScreen();
    ShowQuietly();
}

CProgressWindow::~CProgressWindow() {
    Destroy();
}

void CProgressWindow::Layout() {
    const QFontMetrics metrics(MessageFont());
    QString lines = QStringLiteral("M");
    for (int i = 1; i < kTextLines; ++i)
        lines += QStringLiteral("\nM");
    QRect text = metrics.boundingRect(QRect(kMargin, kMargin, kWidth, 120),
                                      Qt::AlignLeft | Qt::TextDontClip, lines);
    text.setWidth(kWidth);

    const QSize cancelText(metrics.horizontalAdvance(kCancelLabel + QStringLiteral("  ")),
                           metrics.height());
    // Never smaller than the style draws a push button.
    const QSize cancelSize =
        (cancelText + QSize(4 * kEdge, 3 * kEdge)).expandedTo(cancel_->sizeHint());
    const QRect cancel(QPoint(text.right() + 1 - cancelSize.width(), text.bottom() + 1 + kMargin),
                       cancelSize);
    const QRect bar(QPoint(text.left(), cancel.top() + kEdge),
                    QPoint(cancel.left() - kMargin - 1, cancel.bottom() - kEdge));

    setFixedSize(kMargin + text.width() + kMargin,
                 kMargin + text.height() + kMargin + cancelSize.height() + kMargin);
    bar_->setGeometry(bar);
    cancel_->setGeometry(cancel);
    message_->setGeometry(text);
    message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void CProgressWindow::PlaceOnScreen() {
    QSettings settings;
    settings.beginGroup(QString::fromLatin1(kSettingsGroup));
    const int x = settings.value(QStringLiteral("X"), -1).toInt();
    const int y = settings.value(QStringLiteral("Y"), -1).toInt();
    settings.endGroup();
    // A place from another screen layout could be off every screen now.
    if (x >= 0 && y >= 0 && QGuiApplication::screenAt(QPoint(x, y))) {
        move(x, y);
        return;
    }
    const QRect around =
        owner_ ? owner_->frameGeometry() : (screen() ? screen()->availableGeometry() : QRect());
    move(around.center() - rect().center());
}

void CProgressWindow::SavePosition() const {
    QSettings settings;
    settings.beginGroup(QString::fromLatin1(kSettingsGroup));
    settings.setValue(QStringLiteral("X"), pos().x());
    settings.setValue(QStringLiteral("Y"), pos().y());
    settings.endGroup();
}

bool CProgressWindow::BeginModal(const QString& title) {
    if (destroyed_)
        return false;
    title_ = title;
    // Hidden first: Qt takes a new modality when the window is shown.
    const bool wasVisible = isVisible();
    hide();
    setWindowModality(owner_ ? Qt::WindowModal : Qt::ApplicationModal);
    modal_ = true;
    if (wasVisible)
        ShowQuietly();
    return true;
}

void CProgressWindow::SetBounds(int32_t lower, int32_t upper, int32_t step) {
    if (destroyed_)
        return;
    lower_ = lower;
    upper_ = upper;
    step_ = step;
    bar_->setRange(lower, std::max(lower, upper));
}

void CProgressWindow::SetMessage(const QString& text) {
    if (!destroyed_)
        message_->setText(text.left(511));
}

int32_t CProgressWindow::Advance() {
    if (destroyed_)
        return position_;
    return MoveTo(position_ + step_);
}

int32_t CProgressWindow::MoveTo(int32_t position) {
    const int32_t previous = position_;
    if (destroyed_)
        return previous;
    if (!cancelled_)
        ShowQuietly();
    position_ = position;
    int32_t percent = 0;
    if (upper_ > lower_)
        percent = int32_t(
            double(int64_t(position) - lower_) * 100.0 / double(int64_t(upper_) - lower_) + 0.5);
    if (percent != percent_) {
        percent_ = percent;
        setWindowTitle(QStringLiteral("%1 [%2%]").arg(title_).arg(percent));
    }
    bar_->setValue(std::clamp(position, bar_->minimum(), bar_->maximum()));
    return previous;
}

void CProgressWindow::PumpMessages(bool cancelOnEsc) {
    if (destroyed_ || cancelled_)
        return;
    cancelOnEsc_ = cancelOnEsc;
    if (modal_ && isVisible() && !isActiveWindow())
        activateWindow();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void CProgressWindow::Cancel() {
    if (destroyed_ || cancelled_)
        return;
    SavePosition();
    cancelled_ = true;
    hide();
    if (owner_) {
        owner_->raise();
        owner_->activateWindow();
    }
}

void CProgressWindow::Destroy() {
    if (destroyed_)
        return;
    if (isVisible())
        SavePosition();
    destroyed_ = true;
    modal_ = false;
    hide();
    setWindowModality(Qt::NonModal);
}

void CProgressWindow::ShowQuietly() {
    if (!isVisible() && !destroyed_)
        show();
}

void CProgressWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && cancelOnEsc_) {
        Cancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CProgressWindow::closeEvent(QCloseEvent* event) {
    // The window has no close box; a close from the window manager cancels.
    event->ignore();
    Cancel();
}

QWidget* CProgressWindow::Control(int controlId) const {
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child->property(kControlIdProperty).toInt() == controlId)
            return child;
    }
    return nullptr;
}
