// The usage report: a handful of events (start of the program, start and
// stop of the hotspot with their codes, clients coming and going, exit) are
// handed to the outside report tool as a query string; the program never
// talks to the report server itself. The tool is started hidden, by its full
// path beside the program, and not waited for; a missing tool loses the
// report silently.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class UsageReport {
public:
    enum Event {
        kRun = 0,  // "RUN", or "AUTORUN" when the starter of the program is gone
        kAutoRun = 1,
        kExit = 2,
        kStart = 3,
        kAutoStart = 4,
        kStop = 5,
        kOnline = 6,
        kOffline = 7,
    };
    static constexpr const char* kTool = "rpt_routine.exe";
    // Host and path, without a scheme.
    static constexpr const char* kAddress = "report.orvanta.com/tevrin.php";

    // Reports an event with a number (written in lower-case hexadecimal as
    // an unsigned 64-bit value; -1 is "N/A") or with a text ("N/A" when
    // empty).
    void Report(int event, std::int64_t value);
    void Report(int event, const QString& value);

    // The query of an event: "a=<event>&<key>=<value>".
    static QString Query(int event, std::int64_t value);
    static QString Query(int event, const QString& value);
    // The tool's arguments for a query.
    static QStringList Arguments(const QString& query);
    // The tool's full path beside the program (empty when the program's
    // folder is not known).
    static QString ToolPath();

private:
    static QString Word(int event);
    static QString Key(int event);
    static QString Build(int event, const QString& value);
    static void Launch(const QString& query);
};
