// The rows of the client list and the black list, and their container.
#include <QSignalSpy>
#include <QTextDocument>
#include <QtTest/QtTest>

#include "AppSim.h"
#include "AppTestRegistry.h"
#include "BlackListItem.h"
#include "ClientLook.h"
#include "ClientRowHost.h"
#include "Common/LumariCore.h"
#include "ListWidget.h"
#include "WhiteListItem.h"

namespace {

// The text a widget's tool tip draws: rich text when it looks like markup,
// as Qt's tool tip decides.
QString TipText(const QWidget* w) {
    QTextDocument doc;
    if (Qt::mightBeRichText(w->toolTip()))
        doc.setHtml(w->toolTip());
    else
        doc.setPlainText(w->toolTip());
    return doc.toPlainText();
}

// The window's side of the rows, with a real engine on the simulated PC.
class Host : public ClientRowHost {
public:
    CLumariCore core{nullptr};
    std::vector<std::pair<std::wstring, bool>> marks;
    std::vector<std::wstring> toBlack, toClients;
    CLumariCore* Core() override { return &core; }
    bool IsAuthorisedPhone(const std::wstring& mac) override { return mac == phone; }
    void MarkAsPhone(const std::wstring& mac, bool on) override { marks.emplace_back(mac, on); }
    void MoveToBlackList(WhiteListItem* row) override { toBlack.push_back(row->Mac()); }
    void MoveToClientList(BlackListItem* row) override { toClients.push_back(row->Mac()); }
    void ShowNotice(const QString& text, const QString&) override { notices.push_back(text); }
    std::vector<QString> notices;
    std::wstring phone;
};

ClientInfo Record(const wchar_t* mac, const std::wstring& name = L"phone") {
    ClientInfo c;
    c.mac = mac;
    c.name = name;
    return c;
}

}  // namespace

class ClientRowsTest : public QObject {
    Q_OBJECT

private slots:
    void SliderShowsAndAppliesTheLimit() {
        AppSim sim;
        Host host;
        WhiteListItem row(Record(L"00-00-00-00-00-01"), "phone", QImage(), host);
        QCOMPARE(row.SpeedLabel()->text(), QStringLiteral("不限速"));
        QCOMPARE(row.Slider()->value(), 100);
        row.OnActionLimitSpeed();
        QVERIFY(row.LimitPending());
        row.Slider()->setValue(0);  // the lowest limit is 1 %
        QCOMPARE(row.Slider()->value(), 1);
        QCOMPARE(row.SpeedLabel()->text(), QStringLiteral("限速: 10 KB/S"));
        row.Slider()->setValue(50);
        QCOMPARE(row.SpeedLabel()->text(), QStringLiteral("限速: 512 KB/S"));
        row.Slider()->setValue(100);
        QCOMPARE(row.SpeedLabel()->text(), QStringLiteral("不限速"));
        QCOMPARE(WhiteListItem::KbOf(0), 10);
        QCOMPARE(WhiteListItem::KbOf(99), 1013);
        // Leaving the row applies the limit and goes back to the normal layout.
        emit row.MouseLeave();
        QVERIFY(!row.LimitPending());
        QTRY_COMPARE(row.Slider()->pos(), QPoint(69, 51));
        QCOMPARE(row.SpeedLabel()->pos(), QPoint(72, 35));
    }

    void LimitLayoutMovesTheControls() {
        AppSim sim;
        Host host;
        WhiteListItem row(Record(L"00-00-00-00-00-01"), "phone", QImage(), host);
        row.OnActionLimitSpeed();
        QTRY_COMPARE(row.Slider()->pos(), QPoint(69, 35));
        QCOMPARE(row.SpeedLabel()->pos(), QPoint(72, 22));
        QVERIFY(row.NameField()->y() + row.NameField()->height() <= 0);  // out of view
        // Leaving without a pending limit changes nothing.
        row.OnMouseLeave();
        row.OnMouseLeave();
        QTRY_COMPARE(row.Slider()->pos(), QPoint(69, 51));
    }

    void NamesOfAnyLengthOrScriptKeepTheRow() {
        const QString nick25 = QStringLiteral("abcdefghijklmnopqrstuvwxy");
        QCOMPARE(ListWidgetItem::Shown(nick25), QStringLiteral("abcdefghijklmnopqrst..."));
        QCOMPARE(ListWidgetItem::Shown(nick25.left(20)), nick25.left(20));
        // Twenty-one emoji: cut after the twentieth, never inside a pair.
        QString emoji;
        for (int i = 0; i < 21; ++i)
            emoji += QString::fromUcs4(U"\U0001F600");
        const QString shown = ListWidgetItem::Shown(emoji);
        QCOMPARE(shown, emoji.left(40) + "...");
        QCOMPARE(ListWidgetItem::Shown(QStringLiteral("a\nb\tc\u0007")),
                 QStringLiteral("a\uFFFDb\uFFFDc\uFFFD"));
        const QString rtl =
            QStringLiteral("\u05e9\u05dc\u05d5\u05dd \u0645\u0631\u062d\u0628\u0627");
        QCOMPARE(ListWidgetItem::Shown(rtl), rtl);

        AppSim sim;
        Host host;
        const std::wstring huge(5000, L'\u4e2d');
        WhiteListItem row(Record(L"00-00-00-00-00-01", huge), QString::fromStdWString(huge),
                          QImage(), host);
        QCOMPARE(row.size(), QSize(ListWidgetItem::kWidth, ListWidgetItem::kHeight));
        QCOMPARE(row.NameField()->text().size(), 23);
        QCOMPARE(TipText(row.NameField()), QString::fromStdWString(huge));
        QCOMPARE(row.FullName(), QString::fromStdWString(huge));
        QCOMPARE(row.NameField()->layoutDirection(), Qt::LeftToRight);
    }

    void NamesThatLookLikeMarkupOrTurnTextRoundShowAsTheySay() {
        AppSim sim;
        Host host;
        // A host name of the client's own choosing: markup, an image, and a
        // right-to-left override that would show "txt.exe" as "exe.txt".
        const QString name = QStringLiteral(
            "<img src=\":/images/AppWindow/iconApple.png\"><font size=7>Big</font>"
            "\u202Etxt.exe\u2066x\u2069\u200E\u200F");
        WhiteListItem row(Record(L"00-00-00-00-00-01", name.toStdWString()), name, QImage(), host);
        const QString neutral = QStringLiteral(
            "<img src=\":/images/AppWindow/iconApple.png\"><font size=7>Big</font>"
            "\uFFFDtxt.exe\uFFFDx\uFFFD\uFFFD\uFFFD");
        QCOMPARE(ListWidgetItem::Visible(name), neutral);
        QCOMPARE(row.NameField()->text(), ListWidgetItem::Shown(neutral));
        QVERIFY(!row.NameField()->text().contains(QChar(0x202E)));
        // The tool tip draws the name's characters, not an image or a font.
        QCOMPARE(TipText(row.NameField()), neutral);
        QTextDocument drawn;
        drawn.setHtml(row.NameField()->toolTip());
        QVERIFY(!drawn.toHtml().contains(QStringLiteral("<img")));
        QVERIFY(!drawn.toHtml().contains(QStringLiteral("font-size:xx-large")));
        // Emoji joined into one keep their joiner; the name itself is kept.
        const QString family = QString::fromUcs4(U"\U0001F468\u200D\U0001F469");
        QCOMPARE(ListWidgetItem::Visible(family), family);
        QCOMPARE(row.FullName(), name);
    }

    void RenameShowsTwentyCharactersAndKeepsTheWholeName() {
        AppSim sim;
        Host host;
        WhiteListItem row(Record(L"00-00-00-00-00-01"), "phone", QImage(), host);
        QLineEdit* field = row.NameField();
        QVERIFY(field->isReadOnly());
        QTest::mouseClick(field, Qt::LeftButton);
        QVERIFY(!field->isReadOnly());
        QCOMPARE(field->selectedText(), QStringLiteral("phone"));
        field->setText(QStringLiteral("abcdefghijklmnopqrstuvwxy"));
        emit field->editingFinished();
        QVERIFY(field->isReadOnly());
        QCOMPARE(field->text(), QStringLiteral("abcdefghijklmnopqrst..."));
        QCOMPARE(TipText(field), QStringLiteral("abcdefghijklmnopqrstuvwxy"));
        QCOMPARE(field->cursorPosition(), 0);
        // Emptying the nickname gives the client its own name back.
        row.OnActionModify();
        field->clear();
        emit field->editingFinished();
        QCOMPARE(field->text(), QStringLiteral("phone"));

        // Also for a client that came with a nickname: the maker's name, not
        // the nickname just removed.
        ClientInfo named = Record(L"00-00-00-00-00-02", L"host");
        named.manufactory = L"华为技术有限公司";
        named.nickName = L"Bob";
        WhiteListItem nicked(named, ClientLook::For(named).name, QImage(), host);
        QCOMPARE(nicked.NameField()->text(), QStringLiteral("Bob"));
        nicked.OnActionModify();
        nicked.NameField()->clear();
        emit nicked.NameField()->editingFinished();
        QCOMPARE(nicked.NameField()->text(), QStringLiteral("华为"));
    }

    void RowMenuAndMarks() {
        AppSim sim;
        Host host;
        host.phone = L"00-00-00-00-00-01";
        WhiteListItem row(Record(L"00-00-00-00-00-01"), "phone", QImage(), host);
        QCOMPARE(row.MoreButton()->toolTip(), QStringLiteral("更多选项"));
        QCOMPARE(row.MoreButton()->size(), QSize(13, 13));
        const QList<QAction*> actions = row.Menu()->actions();
        QCOMPARE(actions.size(), 3);
        QCOMPARE(actions[0]->text(), QStringLiteral("限速管理"));
        QCOMPARE(actions[1]->text(), QStringLiteral("拉入黑名单"));
        QCOMPARE(actions[2]->objectName(), QStringLiteral("act_mark_phone"));
        QVERIFY(actions[2]->isCheckable());
        actions[2]->trigger();
        QCOMPARE(host.marks.size(), 1u);
        QCOMPARE(host.marks[0].first, std::wstring(L"00-00-00-00-00-01"));
        actions[1]->trigger();
        QCOMPARE(host.toBlack, std::vector<std::wstring>{L"00-00-00-00-00-01"});

        // Windows before Vista: no menu, no button.
        WhiteListItem xp(Record(L"00-00-00-00-00-02"), "old", QImage(), host, false);
        QVERIFY(xp.Menu()->isEmpty());
        QVERIFY(xp.MoreButton()->isHidden());

        BlackListItem black(Record(L"00-00-00-00-00-03"), "banned", QImage(), host);
        QCOMPARE(black.RemoveButton()->text(), QStringLiteral("从黑名单中移除"));
        black.RemoveButton()->click();
        QCOMPARE(host.toClients, std::vector<std::wstring>{L"00-00-00-00-00-03"});
    }

    void ListKeepsOrderAndAnimatesRemovals() {
        AppSim sim;
        Host host;
        ListWidget list;
        for (const wchar_t* mac :
             {L"00-00-00-00-00-01", L"00-00-00-00-00-02", L"00-00-00-00-00-03"})
            list.AddItem(new WhiteListItem(Record(mac), "x", QImage(), host));
        QCOMPARE(list.Count(), 3);
        QCOMPARE(list.height(), 3 * ListWidgetItem::kHeight);
        QVERIFY(list.RemoveItem("00-00-00-00-00-02"));
        QVERIFY(!list.RemoveItem("00-00-00-00-00-02"));  // already leaving
        QCOMPARE(list.Count(), 2);
        QVERIFY(list.Find("00-00-00-00-00-02") == nullptr);
        QPointer<ListWidgetItem> third = list.Find("00-00-00-00-00-03");
        QTRY_COMPARE_WITH_TIMEOUT(third->pos(), QPoint(0, ListWidgetItem::kHeight), 3000);
        QTRY_COMPARE(list.height(), 2 * ListWidgetItem::kHeight);
        QCOMPARE(list.findChildren<ListWidgetItem*>().size(), 2);
        // Overlapping removals end with the rows in their places.
        list.AddItem(new WhiteListItem(Record(L"00-00-00-00-00-04"), "x", QImage(), host));
        list.AddItem(new WhiteListItem(Record(L"00-00-00-00-00-05"), "x", QImage(), host));
        list.RemoveItem("00-00-00-00-00-01");
        QTest::qWait(100);
        list.RemoveItem("00-00-00-00-00-04");
        QPointer<ListWidgetItem> fifth = list.Find("00-00-00-00-00-05");
        QTRY_COMPARE_WITH_TIMEOUT(fifth->pos(), QPoint(0, ListWidgetItem::kHeight), 3000);
        QTRY_COMPARE(list.findChildren<ListWidgetItem*>().size(), 2);
        list.Clear();
        QCOMPARE(list.Count(), 0);
        QVERIFY(third.isNull());
        QCOMPARE(list.height(), 0);
    }
};

APP_TEST(ClientRowsTest);
#include "ClientRowsTest.moc"
