// The driver installation dialog: sharing by the system's own NAT filter
// driver needs that driver on the PC. When the window finds it missing at
// start, this modal dialog offers to install it, counts down five seconds on
// the platform's clock and then installs it by itself unless the user
// cancels. Installing runs the outside network configuration tool from the
// program's directory on driver files under the user's application-data
// folder, waiting up to 30 seconds for each run; its outcome is not checked
// (the engine finds the driver, or not, when sharing starts).
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class ClockTimer;
class QLabel;
class QPushButton;

class DrvInstWidget : public QDialog {
    Q_OBJECT

public:
    static constexpr int kCountdown = 5;
    static constexpr int kToolWaitMs = 30000;

    explicit DrvInstWidget(QWidget* parent = nullptr);

    // The driver's service name on this system: "solvanewfp" on Windows 7
    // and later, "solvane" on Windows XP to Vista, none before.
    static std::string ServiceName();
    // Whether the driver is there: its service opens. The Linux build
    // carries its NAT driver inside the program.
    static bool IsDriverInstalled();
    // The configuration tool's command lines (UTF-8) that install the
    // driver here, in the order they run; none when the program's folder
    // cannot be read.
    static std::vector<std::string> CommandLines();

    int Count() const { return m_count; }
    ClockTimer* Timer() const { return m_timer; }

public slots:
    // Stops the countdown and installs.
    void accept() override;
    // Stops the countdown; nothing is installed.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private slots:
    void OnCountdown();

private:
    int m_count = kCountdown;
    ClockTimer* m_timer = nullptr;
    QPushButton* m_btnOk = nullptr;
};
