#include "UsageReport.h"

#include <QDir>
#include <QFileInfo>
#include <string>

#include "Common/ProgramPath.h"
#include "platform/Backend.h"
#include "platform/Platform.h"

namespace {

// One argument of a command line, quoted when it holds a blank.
QString Quoted(const QString& argument) {
    if (!argument.isEmpty() && !argument.contains(QLatin1Char(' ')) &&
        !argument.contains(QLatin1Char('\t')))
        return argument;
    QString inner = argument;
    inner.remove(QLatin1Char('"'));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

}  // namespace

QString UsageReport::Word(int event) {
    switch (event) {
        case kRun:
            return plat::Platform::Current().Processes().ParentRuns() ? QStringLiteral("RUN")
                                                                      : QStringLiteral("AUTORUN");
        case kAutoRun:
            return QStringLiteral("AUTORUN");
        case kExit:
            return QStringLiteral("EXIT");
        case kStart:
            return QStringLiteral("START");
        case kAutoStart:
            return QStringLiteral("AUTOSTART");
        case kStop:
            return QStringLiteral("STOP");
        case kOnline:
            return QStringLiteral("ONL");
        case kOffline:
            return QStringLiteral("OFFL");
        default:
            return QStringLiteral("UNDEF");
    }
}

QString UsageReport::Key(int event) {
    return event == kOnline || event == kOffline ? QStringLiteral("c") : QStringLiteral("s");
}

QString UsageReport::Build(int event, const QString& value) {
    // Events without a value of their own carry "N/A" whatever was passed.
    const bool carries = event == kStart || event == kAutoStart || event == kStop ||
                         event == kOnline || event == kOffline;
    return QStringLiteral("a=%1&%2=%3")
        .arg(Word(event), Key(event), carries ? value : QStringLiteral("N/A"));
}

QString UsageReport::Query(int event, std::int64_t value) {
    return Build(event, value == -1 ? QStringLiteral("N/A")
                                    : QString::number(static_cast<quint64>(value), 16));
}

QString UsageReport::Query(int event, const QString& value) {
    return Build(event, value.isEmpty() ? QStringLiteral("N/A") : value);
}

QStringList UsageReport::Arguments(const QString& query) {
    return {QStringLiteral("--url"), QString::fromLatin1(kAddress), QStringLiteral("-p"), query};
}

QString UsageReport::ToolPath() {
    // The program's folder comes in the system's code page.
    std::wstring folder;
    if (!plat::Platform::Current().Os().AnsiToWide(GetProgramDirectory(), &folder) ||
        folder.empty())
        return {};
    return QDir::toNativeSeparators(QString::fromStdWString(folder) + QLatin1Char('/') +
                                    QString::fromLatin1(kTool));
}

void UsageReport::Launch(const QString& query) {
    // The copy beside the program and no other: a bare name would also be
    // looked for in the current folder and along the search path, where
    // anyone could leave a program of that name to be run with this one's
    // rights. Without the tool the report is lost.
    const QString tool = ToolPath();
    if (tool.isEmpty() || !QFileInfo(tool).isFile())
        return;
    QString line = Quoted(tool);
    for (const QString& argument : Arguments(query))
        line += QLatin1Char(' ') + Quoted(argument);
    // Not waited for, and its outcome does not matter.
    plat::Platform::Current().Processes().Start(line.toUtf8().toStdString(), 0);
}

void UsageReport::Report(int event, std::int64_t value) {
    Launch(Query(event, value));
}

void UsageReport::Report(int event, const QString& value) {
    Launch(Query(event, value));
}
