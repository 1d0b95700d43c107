// The window's traffic statistics: the total in kilobytes of everything that
// went through the hotspot (what the settings file keeps plus what the
// running hotspot has moved), the amount of the last second, and their texts.
//
// The engine gives the flow of the current run; the total is the total before
// the run plus that flow. The total never falls and the speed is never
// negative, whatever a reading says: a reading below the last one adds
// nothing.
#pragma once

#include <QString>
#include <cstdint>

class TrafficStats {
public:
    // The total as stored (a negative value reads as none).
    void SetStored(std::int64_t totalKb);
    // A run started: its flow counts from zero on top of the total so far.
    void RunStarted();
    // A reading of the current run's flow (down + up, kilobytes): the total
    // takes it in; the answer is what it added (the speed of a one-second
    // reading).
    std::int64_t Reading(std::uint64_t runFlowKb);

    std::int64_t Total() const { return m_total; }
    // The total before the current run.
    std::int64_t RunBase() const { return m_runBase; }

    static QString TrafficText(std::int64_t totalKb);
    static QString SpeedText(std::int64_t deltaKb);
    static QString MoneyText(std::int64_t totalKb, double pricePerMb);

private:
    std::int64_t m_total = 0;
    std::int64_t m_runBase = 0;
};
