#include "DrvInstWidget.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyleOption>
#include <algorithm>

#include "ClockTimer.h"
#include "Common/ProgramPath.h"
#include "Common/WinVersion.h"
#include "FormParts.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/TextCodec.h"

namespace {

constexpr int kWidth = 360;
constexpr int kHeight = 220;

std::string Backslashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string Format(const char* pattern, const std::string& programDir, const std::string& appData) {
    std::string out = pattern;
    const auto first = out.find("%s");
    out.replace(first, 2, programDir);
    const auto second = out.find("%s", first + programDir.size());
    out.replace(second, 2, appData);
    return out;
}

}  // namespace

DrvInstWidget::DrvInstWidget(QWidget* parent) : QDialog(parent) {
    setObjectName("DrvInstWidget");
    setWindowTitle(tr("安装驱动"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setModal(true);
    setFixedSize(kWidth, kHeight);

    FormParts::Label(this, "lblDrvTitle", QRect(16, 10, 240, 24), tr("Orvanta提示您"));
    auto* close = FormParts::Button(this, "drv_btn_close", QRect(kWidth - 36, 12, 20, 20));

    auto* message = new QLabel(tr("      Orvanta NAT驱动可在Windows 7以上系统中提升网络共享成功率。"
                                  "安装或更新驱动期间网络会临时断开，完成后即可恢复连接。\n\n"
                                  "      现在可以安装或更新该驱动，是否继续？"),
                               this);
    message->setObjectName("lblDrvInstaller");
    message->setGeometry(20, 52, kWidth - 40, 108);
    message->setWordWrap(true);
    message->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* buttons = new QWidget(this);
    buttons->setGeometry(0, kHeight - 50, kWidth, 40);
    auto* hLayout = new QHBoxLayout(buttons);
    hLayout->setObjectName("hLayout");
    hLayout->setContentsMargins(90, 4, 90, 4);
    hLayout->setSpacing(20);
    m_btnOk = new QPushButton(tr("确定"), buttons);
    m_btnOk->setObjectName("drv_btn_ok");
    auto* cancel = new QPushButton(tr("取消"), buttons);
    cancel->setObjectName("drv_btn_cancel");
    for (QPushButton* b : {m_btnOk, cancel}) {
        b->setFixedHeight(28);
        b->setCursor(Qt::PointingHandCursor);
        hLayout->addWidget(b);
    }

    connect(m_btnOk, &QPushButton::clicked, this, &DrvInstWidget::accept);
    connect(cancel, &QPushButton::clicked, this, &DrvInstWidget::reject);
    connect(close, &QPushButton::clicked, this, &DrvInstWidget::close);
    m_timer = new ClockTimer(this);
    connect(m_timer, &ClockTimer::timeout, this, &DrvInstWidget::OnCountdown);
}

std::string DrvInstWidget::ServiceName() {
    if (IsWindowsVersionOrGreater(6, 1, 0))
        return "solvanewfp";
    if (IsWindowsVersionOrGreater(5, 1, 0))
        return "solvane";
    return {};
}

bool DrvInstWidget::IsDriverInstalled() {
    plat::Backend& pc = plat::Platform::Current();
    if (!pc.Os().IsWindows())
        return true;
    const std::string name = ServiceName();
    return !name.empty() && pc.Services().GetServiceStatus(name.c_str()) != 0;
}

std::vector<std::string> DrvInstWidget::CommandLines() {
    plat::Backend& pc = plat::Platform::Current();
    // One encoding from end to end: the program's folder comes in the
    // system's code page (GBK on a Chinese Windows), the application-data
    // folder and the command line in UTF-8.
    std::wstring folder;
    if (!pc.Os().AnsiToWide(GetProgramDirectory(), &folder))
        return {};
    const std::string programDir = Backslashed(plat::TextCodec::WideToUtf8(folder));
    const std::string appData = Backslashed(pc.Os().AppDataFolder());
    if (IsWindowsVersionOrGreater(6, 1, 0)) {
        const bool wide = pc.Os().NativeArchitecture() == 9;  // PROCESSOR_ARCHITECTURE_AMD64
        return {Format(wide ? "\"%s\\snetcfg64.exe\" -m -f solvanewfp -k "
                              "\"%s\\VelWiFiDriver\\solvanewfp64.sys\""
                            : "\"%s\\snetcfg.exe\" -m -f solvanewfp -k "
                              "\"%s\\VelWiFiDriver\\solvanewfp.sys\"",
                       programDir, appData)};
    }
    if (IsWindowsVersionOrGreater(5, 1, 0))
        return {
            Format("\"%s\\snetcfg64.exe\" -v -l \"%s\\VelWiFiDriver\\solvane_xp_m.inf\" -c s -i "
                   "solvanemp",
                   programDir, appData),
            Format("\"%s\\snetcfg.exe\" -v -l \"%s\\VelWiFiDriver\\solvane_xp.inf\" -c s -i "
                   "solvane",
                   programDir, appData)};
    return {};
}

void DrvInstWidget::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The count runs while the offer is on screen, and only then.
    if (!m_timer->isActive() && m_count == kCountdown) {
        m_btnOk->setText(tr("确定(%1)").arg(m_count));
        m_timer->start(1000);
    }
}

void DrvInstWidget::hideEvent(QHideEvent* event) {
    // A count that nobody sees installs nothing.
    if (m_count > 0)
        m_timer->stop();
    QDialog::hideEvent(event);
}

void DrvInstWidget::reject() {
    m_timer->stop();
    QDialog::reject();
}

void DrvInstWidget::OnCountdown() {
    --m_count;
    if (m_count > 0) {
        m_btnOk->setText(tr("确定(%1)").arg(m_count));
        return;
    }
    m_btnOk->setText(tr("确定"));
    repaint();
    hide();
    accept();
}

void DrvInstWidget::accept() {
    m_timer->stop();
    plat::ProcessLauncher& processes = plat::Platform::Current().Processes();
    for (const std::string& line : CommandLines())
        processes.Start(line, kToolWaitMs);
    QDialog::accept();
}

void DrvInstWidget::paintEvent(QPaintEvent*) {
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}
