// The scheduled power-off dialog: hours, minutes and seconds of a countdown,
// the moment the PC will shut down, and start and stop. Opened from the tray
// and by the authorised phone; it stays alive once made and is found again
// by its object name. The countdown runs on the platform's clock, one
// second per tick; a minute before the end the dialog shows itself, and at
// the end it asks for the power-off.
#pragma once

#include <QDialog>
#include <cstdint>

class ClockTimer;
class QLabel;
class QPushButton;
class QSpinBox;

class PoweroffWidget : public QDialog {
    Q_OBJECT

public:
    static constexpr int kMaxHours = 999;

    explicit PoweroffWidget(QWidget* parent = nullptr);

    // Sets the three boxes from a number of seconds (up to kMaxHours hours)
    // and, while no countdown runs, the shutdown moment.
    void SetSeconds(std::uint64_t seconds);
    // Refreshes the shutdown moment from the boxes and the clock.
    void Refresh();
    // The phone's cancel: stops a countdown and closes the dialog.
    void Cancel();

    bool IsStopped() const { return m_stopped; }
    std::int64_t Remaining() const { return m_remaining; }
    ClockTimer* Timer() const { return m_timer; }

signals:
    void Poweroff();

public slots:
    void on_btnClose_clicked();
    void on_btnPoweroffOk_clicked();
    void on_btnPoweroffCancel_clicked();
    void ChangeCurrentTime(int nTime);
    void ChangeTime();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The countdown is over or stopped: start shown, boxes open.
    void ShowStopped();

    std::int64_t m_remaining = 0;
    bool m_stopped = true;
    ClockTimer* m_timer = nullptr;
    QSpinBox* m_spbxHour = nullptr;
    QSpinBox* m_spbxMin = nullptr;
    QSpinBox* m_spbxSec = nullptr;
    QLabel* m_lblTip = nullptr;
    QPushButton* m_btnPoweroffOk = nullptr;
    QPushButton* m_btnPoweroffCancel = nullptr;
};
