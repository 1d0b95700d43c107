// The process entry of the desktop program: one instance only (a second one
// hands over to the running window and ends), the Qt application with its
// plug-in path, style sheet and translation, and the main window.
#pragma once

class QLocale;
class QString;
class QWidget;

class Zentavo {
public:
    // The name of the single-instance lock.
    static constexpr const char* kInstanceLock = "Orvantia-Dravolin-Pim";

    // Runs the program; the event loop's value, or -1 when another instance
    // runs (that one is brought to the front).
    static int Main(int argc, char** argv);
    // True for the first instance. A second one signals the running window to
    // come forward and answers false.
    static bool EnsureSingleInstance();
    // Installs the style sheet and the translation from the resources; a
    // missing one is skipped.
    static void SetUpApplication();
    // The window's texts are Chinese in the source. On a Chinese system the
    // Chinese translation is installed (for Qt's own menus and dialogs); on
    // any other the English one. The resource that `locale` selects:
    static QString TranslationFor(const QLocale& locale);
    // Installs that translation, replacing one installed before. False when
    // it cannot be loaded (the program then runs untranslated).
    static bool InstallTranslation(const QLocale& locale);
    // What the web engine of the customer-service page needs before the Qt
    // application exists.
    static void PrepareWebEngine();
    // Outside Windows: SIGTERM, SIGINT and SIGHUP (the session ending, a
    // service manager, Ctrl+C) close `window` as its close button does: the
    // hotspot stops, the settings are saved, then the program ends. False
    // when the signals could not be watched.
    static bool CloseOnTermination(QWidget* window);
};
