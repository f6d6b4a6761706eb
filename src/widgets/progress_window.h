#pragma once
// CProgressWindow: a small window with a caption that carries the percentage
// ("Progress [33%]"), one text line, a progress bar and a Cancel button, for
// long work. Made modal it blocks its owner; the work calls PumpMessages at
// each step so the interface stays alive. Cancel and Esc set the cancelled
// flag and hide the window: the work asks IsCancelled() and stops. The window
// remembers where the user left it (only a place on a screen is restored).

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;

class CProgressWindow : public QWidget {
    Q_OBJECT
public:
    enum ControlId { IDC_CANCEL = 10, IDC_MESSAGE = 11, IDC_PROGRESS = 12 };
    static constexpr int kWidth = 390;   // of the text line, in pixels
    static constexpr int kMargin = 10;   // around and between the parts
    static constexpr int kTextLines = 4; // height of the text line area

    // Created and shown at once, centred on `owner` (or at the remembered
    // place). The style draws the bar; there is no stepped or smooth choice.
    CProgressWindow(QWidget* owner, const QString& title);
    ~CProgressWindow() override;

    // Blocks the owner until the window is destroyed.
    bool BeginModal(const QString& title);
    void SetBounds(int32_t lower, int32_t upper, int32_t step = 1);
    void SetMessage(const QString& text);
    // One step forward; returns the previous position.
    int32_t Advance();
    // Returns the previous position. The caption follows the percentage.
    int32_t MoveTo(int32_t position);
    // Handles what is waiting for the interface; Esc cancels when asked to.
    void PumpMessages(bool cancelOnEsc = true);
    bool IsCancelled() const { return cancelled_; }
    void Cancel();
    // Saves the place, unblocks the owner and closes the window.
    void Destroy();

    int32_t Position() const { return position_; }
    int32_t Percent() const { return percent_; }
    QWidget* Control(int controlId) const;

    // Where the place is kept (QSettings of the application).
    static constexpr char kSettingsGroup[] = "ProgressWndSettings";

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Layout();
    void PlaceOnScreen();
    void SavePosition() const;
    void ShowQuietly();

    QPointer<QWidget> owner_;
    QString title_;
    bool cancelled_ = false;
    bool modal_ = false;
    bool destroyed_ = false;
    bool cancelOnEsc_ = true;
    int32_t position_ = 0;
    int32_t percent_ = 0;
    int32_t step_ = 1;
    int32_t upper_ = 100;
    int32_t lower_ = 0;
    QLabel* message_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
};
