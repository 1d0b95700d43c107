#include "TrafficStats.h"

#include <QCoreApplication>
#include <limits>

void TrafficStats::SetStored(std::int64_t totalKb) {
    m_total = totalKb < 0 ? 0 : totalKb;
    m_runBase = m_total;
}

void TrafficStats::RunStarted() {
    m_runBase = m_total;
}

std::int64_t TrafficStats::Reading(std::uint64_t runFlowKb) {
    const auto room =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max() - m_runBase);
    const std::int64_t now =
        m_runBase + static_cast<std::int64_t>(runFlowKb < room ? runFlowKb : room);
    if (now <= m_total)
        return 0;
    const std::int64_t added = now - m_total;
    m_total = now;
    return added;
}

QString TrafficStats::TrafficText(std::int64_t totalKb) {
    const double mb = static_cast<double>(totalKb) / 1024.0;
    if (mb < 1024)
        return QString::number(mb, 'f', 2) + QStringLiteral("M");
    return QString::number(mb / 1024.0, 'f', 2) + QStringLiteral("G");
}

QString TrafficStats::SpeedText(std::int64_t deltaKb) {
    if (deltaKb < 1024)
        return QString::number(static_cast<double>(deltaKb), 'g', 6) + QStringLiteral("K/s");
    return QString::number(static_cast<double>(deltaKb) / 1024.0, 'f', 2) + QStringLiteral("M/s");
}

QString TrafficStats::MoneyText(std::int64_t totalKb, double pricePerMb) {
    // Translated with the window's texts.
    return QCoreApplication::translate("Orvanta", "%1元")
        .arg(QString::number(static_cast<double>(totalKb) / 1024.0 * pricePerMb, 'f', 2));
}
