// The window's language follows the system's: Chinese systems keep the
// program's own texts, every other system reads English. The English run
// walks every window and dialog and finds no Chinese text left in labels,
// buttons, menus or tool tips (a text that never went through the translation
// shows up here) and no text cut at the windows' fixed sizes, and the failure
// texts of a failed start are English too.
#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest/QtTest>

#include "AppSim.h"
#include "AppTestRegistry.h"
#include "AuthWidget.h"
#include "DrvInstWidget.h"
#include "OptionWidget.h"
#include "Orvanta.h"
#include "PoweroffWidget.h"
#include "StartFailure.h"
#include "Zentavo.h"

namespace {

const QLocale kChinese(QLocale::Chinese, QLocale::China);

// The engine's and the access point's failure codes, Windows codes the engine
// passes on, and one no text knows.
const int kCodes[] = {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1102, 1201,
                      1203, 1401, 1500, 1502, 1700, 2,    5,    6,    50,   1062, 5023, 4242};

bool HasChinese(const QString& text) {
    static const QRegularExpression cjk(
        QStringLiteral("[\\x{3000}-\\x{303F}\\x{4E00}-\\x{9FFF}"
                       "\\x{FF00}-\\x{FFEF}]"));
    return cjk.match(text).hasMatch();
}

// Every text a user can read in `w` and its children that is still Chinese,
// as "object name: text".
QStringList ChineseTexts(const QWidget& w) {
    QStringList found;
    auto check = [&found](const QObject& o, const QString& text) {
        if (HasChinese(text))
            found << o.objectName() + ": " + text;
    };
    QList<QWidget*> widgets = w.findChildren<QWidget*>();
    widgets.prepend(const_cast<QWidget*>(&w));
    for (const QWidget* c : widgets) {
        check(*c, c->windowTitle());
        check(*c, c->toolTip());
        if (const auto* label = qobject_cast<const QLabel*>(c))
            check(*c, label->text());
        if (const auto* button = qobject_cast<const QAbstractButton*>(c))
            check(*c, button->text());
    }
    for (const QAction* a : w.findChildren<QAction*>())
        check(*a, a->text());
    return found;
}

// Every text in `w` and its children that does not fit its control, as
// "object name: text": a one-line label or a button whose text is wider than
// the control, a word-wrapped label whose lines need more height than it has.
QStringList CutTexts(QWidget& w) {
    QStringList cut;
    QList<QWidget*> widgets = w.findChildren<QWidget*>();
    widgets.prepend(&w);
    for (QWidget* c : widgets) {
        c->ensurePolished();
        if (auto* label = qobject_cast<QLabel*>(c); label != nullptr && !label->text().isEmpty()) {
            const bool fits = label->wordWrap()
                                  ? label->heightForWidth(label->width()) <= label->height()
                                  : label->sizeHint().width() <= label->width();
            if (!fits)
                cut << label->objectName() + ": " + label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(c);
                   button != nullptr && !button->text().isEmpty()) {
            // A push button's own hint asks for a minimum width; its text
            // with a little room is what must fit.
            const int need = qobject_cast<QPushButton*>(button) != nullptr
                                 ? button->fontMetrics().horizontalAdvance(button->text()) + 8
                                 : button->sizeHint().width();
            if (need > button->width())
                cut << button->objectName() + ": " + button->text();
        }
    }
    return cut;
}

}  // namespace

class TranslationTest : public QObject {
    Q_OBJECT

private slots:
    void TheSystemsLanguageChoosesTheTranslation() {
        for (const char* name : {"zh_CN", "zh_TW", "zh_HK"})
            QCOMPARE(Zentavo::TranslationFor(QLocale(name)),
                     QStringLiteral(":/language/qt_zh_CN.qm"));
        for (const char* name : {"en_US", "en_GB", "de_DE", "ja_JP", "C"})
            QCOMPARE(Zentavo::TranslationFor(QLocale(name)), QStringLiteral(":/language/qt_en.qm"));
    }

    void AnEnglishSystemReadsEveryWindowInEnglish() {
        QVERIFY(Zentavo::InstallTranslation(QLocale(QLocale::English, QLocale::UnitedStates)));
        {
            AppSim sim;  // no wireless adapter: the launch's start fails
            Orvanta w;
            QTRY_VERIFY_WITH_TIMEOUT(!w.IsBusy(), 5000);
            const QString state = w.findChild<QLabel*>("lblstate")->text();
            const QString cause = w.findChild<QLabel*>("lblfailcause")->text();
            QVERIFY2(!state.isEmpty() && !HasChinese(state), qPrintable(state));
            QVERIFY2(!cause.isEmpty() && !HasChinese(cause), qPrintable(cause));
            QCOMPARE(w.findChild<QAbstractButton*>("btnwhitelist")->text(),
                     QStringLiteral("Clients (0)"));
            QCOMPARE(w.TrayIcon()->contextMenu()->actions().front()->text(),
                     QStringLiteral("Scheduled shutdown"));

            w.OnActionPoweroff();
            auto* poweroff = w.findChild<PoweroffWidget*>("PoweroffWidget");
            QVERIFY(poweroff != nullptr);
            DrvInstWidget driver(&w);
            AuthWidget auth{QString(), QByteArray()};
            QStringList left = ChineseTexts(w) + ChineseTexts(*w.OptionPanel()) +
                               ChineseTexts(*w.ClosePrompt()) + ChineseTexts(*poweroff) +
                               ChineseTexts(driver) + ChineseTexts(auth);
            QVERIFY2(left.isEmpty(), qPrintable(left.join('\n')));
            // English texts are longer: none of them is cut at the fixed
            // sizes, the failure texts of every code included.
            auto* stateLabel = w.findChild<QLabel*>("lblstate");
            auto* causeLabel = w.findChild<QLabel*>("lblfailcause");
            for (int code : kCodes) {
                stateLabel->setText(StartFailure::StatusText(code));
                causeLabel->setText(StartFailure::Cause(code));
                const QStringList cut = CutTexts(*stateLabel) + CutTexts(*causeLabel);
                QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
            }
            QStringList cut = CutTexts(*w.OptionPanel()) + CutTexts(*w.ClosePrompt()) +
                              CutTexts(*poweroff) + CutTexts(driver) + CutTexts(auth);
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
            QCOMPARE(driver.findChild<QAbstractButton*>("drv_btn_cancel")->text(),
                     QStringLiteral("Cancel"));
        }
        // Every failure code the window knows has English words, and the
        // code itself survives in the texts made for unknown codes.
        for (int code : kCodes) {
            QVERIFY2(!HasChinese(StartFailure::StatusText(code)),
                     qPrintable(QString::number(code)));
            QVERIFY2(!HasChinese(StartFailure::Cause(code)), qPrintable(QString::number(code)));
        }
        QVERIFY(StartFailure::StatusText(4242).contains("4242"));
        QVERIFY(StartFailure::Cause(4242).contains("4242"));
    }

    void AChineseSystemKeepsTheProgramsOwnTexts() {
        QVERIFY(Zentavo::InstallTranslation(kChinese));
        QCOMPARE(StartFailure::StatusText(4242), QStringLiteral("WiFi开启失败(4242)"));
        QCOMPARE(Orvanta::CheckName(QString(33, 'a')),
                 QStringLiteral("WiFi名称太长（最多32字节，一个汉字占3字节）"));
    }

    // The other test classes check the program's own texts.
    void cleanupTestCase() { Zentavo::InstallTranslation(kChinese); }
};

APP_TEST(TranslationTest);
#include "TranslationTest.moc"
