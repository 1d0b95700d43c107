#include "Zentavo.h"

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QPointer>
#include <QTranslator>
#include <memory>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#endif

#include "Common/LumariLog.h"
#include "Orvanta.h"
#include "platform/Backend.h"
#include "platform/Platform.h"

#if !defined(_WIN32)
namespace {

// The pipe a signal handler writes to and the GUI thread reads: the only
// thing a handler may safely do is write a byte.
class TerminationPipe {
public:
    TerminationPipe() {
        if (pipe2(m_fds, O_CLOEXEC | O_NONBLOCK) != 0)
            m_fds[0] = m_fds[1] = -1;
    }
    ~TerminationPipe() {
        for (int fd : m_fds)
            if (fd >= 0)
                close(fd);
    }
    TerminationPipe(const TerminationPipe&) = delete;
    TerminationPipe& operator=(const TerminationPipe&) = delete;

    int ReadEnd() const { return m_fds[0]; }
    int WriteEnd() const { return m_fds[1]; }
    void Drain() const {
        char buffer[16];
        while (read(m_fds[0], buffer, sizeof buffer) > 0) {
        }
    }

private:
    int m_fds[2] = {-1, -1};
};

TerminationPipe& Pipe() {
    static TerminationPipe pipe;
    return pipe;
}

int g_signalWriteEnd = -1;

void OnTerminationSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(g_signalWriteEnd, &byte, 1);
    errno = saved;
}

}  // namespace
#endif

bool Zentavo::CloseOnTermination(QWidget* window) {
#if defined(_WIN32)
    // Windows ends a session through the window's own messages.
    (void)window;
    return true;
#else
    if (window == nullptr || Pipe().ReadEnd() < 0)
        return false;
    g_signalWriteEnd = Pipe().WriteEnd();
    auto* notifier = new QSocketNotifier(Pipe().ReadEnd(), QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        Pipe().Drain();
        // A window that refuses the close is stopping the hotspot, and that
        // stop ends the program; another signal meanwhile changes nothing.
        if (window->close())
            QCoreApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        if (sigaction(signal, &action, nullptr) != 0)
            return false;
    return true;
#endif
}

bool Zentavo::EnsureSingleInstance() {
    plat::SessionControl& session = plat::Platform::Current().Session();
    if (session.AcquireInstanceLock(kInstanceLock))
        return true;
    session.SignalInstance(Orvanta::kHandOverMessage);
    return false;
}

void Zentavo::SetUpApplication() {
    QCoreApplication::addLibraryPath(QCoreApplication::applicationDirPath() + "/plugins");
    QFile style(":/stylesheets/style.qss");
    if (style.open(QIODevice::ReadOnly))
        qApp->setStyleSheet(QString::fromUtf8(style.readAll()));
    InstallTranslation(QLocale());
}

QString Zentavo::TranslationFor(const QLocale& locale) {
    return locale.language() == QLocale::Chinese ? QStringLiteral(":/language/qt_zh_CN.qm")
                                                 : QStringLiteral(":/language/qt_en.qm");
}

bool Zentavo::InstallTranslation(const QLocale& locale) {
    // One translator at a time: a second call replaces the first one's texts.
    static QPointer<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
    auto* translator = new QTranslator(qApp);
    if (!translator->load(TranslationFor(locale))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

void Zentavo::PrepareWebEngine() {
#if defined(LUMARI_HAVE_WEBENGINE)
    // The web engine keeps its sandbox: as root, where the sandbox cannot
    // run, the window shows no remote page at all (ServiceSite).
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
}

int Zentavo::Main(int argc, char** argv) {
    if (!EnsureSingleInstance())
        return -1;
    PrepareWebEngine();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("Zentavo");
    QCoreApplication::setApplicationVersion("1.0");
    InitLog();
    SetUpApplication();
    int result = 0;
    {
        Orvanta window;
        CloseOnTermination(&window);
        window.show();
        result = app.exec();
    }
    return result;
}
