// The options panel over the main window: run at logon, keep the PC awake
// while the hotspot runs, ask on close, and the price per megabyte behind the
// money-saved figure. It reads and writes the main window's settings record
// and saves it through the window when it closes.
#pragma once

#include <QWidget>

class Orvanta;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class OptionWidget : public QWidget {
    Q_OBJECT

public:
    static constexpr double kDefaultPrice = 0.3;

    explicit OptionWidget(Orvanta* host);

    // The boxes and the price field from the settings record.
    void LoadFromConfig();
    // The three boxes as given (run at logon, forbid sleep, ask on close).
    void SetBoxes(bool runAtLogon, bool forbidSleep, bool askOnClose);
    void ShowRunAtLogon(bool on);
    // Whether the forbid-sleep box is ticked.
    bool ForbidSleepTicked() const;

public slots:
    void OnBtnCloseClicked();
    void OnBtnShowAuthClicked();
    void OnCKRunOnStartClicked();
    void OnCkForbidSleepClicked();
    void OnCKNotifyOnCloseClicked();
    void OnCkNewDeviceClicked();
    void OnTextEdited();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Orvanta* m_host;
    QPixmap m_background;
    QCheckBox* m_ckRunOnStart = nullptr;
    QCheckBox* m_ckForbidSleep = nullptr;
    QCheckBox* m_ckNotifyOnClose = nullptr;
    QCheckBox* m_ckNewDevice = nullptr;
    QLineEdit* m_txtmoneyperm = nullptr;
    QLabel* m_lblError = nullptr;
};
