#include "ListWidgetItem.h"

#include <QEvent>
#include <QMouseEvent>
#include <QTextBoundaryFinder>

#include "ClientLook.h"
#include "ClientRowHost.h"
#include "Common/LumariCore.h"

namespace {
const char* kEditStyle = "border-width: 1px;background-color:rgb(255,255,255);";
const char* kReadStyle = "border-width: 0px;background-color:rgba(255,255,255,0);";

// The name a row falls back to when its nickname is emptied: the one of the
// maker table, not the nickname that `name` may be.
QString LookName(const ClientInfo& client, const QString& name) {
    if (client.nickName.empty() || name != QString::fromStdWString(client.nickName))
        return name;
    ClientInfo plain = client;
    plain.nickName.clear();
    return ClientLook::For(plain).name;
}
}  // namespace

ListWidgetItem::ListWidgetItem(const ClientInfo& client, const QString& name, const QImage& image,
                               ClientRowHost& host, QWidget* parent)
    : QWidget(parent),
      m_host(host),
      m_mac(client.mac),
      m_lookName(LookName(client, name)),
      m_icon(new QLabel(this)),
      m_txtusername(new QLineEdit(this)) {
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_StyledBackground);
    m_icon->setObjectName("lblicon");
    m_icon->setGeometry(14, 6, 40, 40);
    if (!image.isNull())
        m_icon->setPixmap(QPixmap::fromImage(
            image.scaled(40, 40, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    m_txtusername->setObjectName("txtusername");
    m_txtusername->setGeometry(72, 8, 120, 22);
    m_txtusername->setReadOnly(true);
    m_txtusername->setFrame(false);
    m_txtusername->setStyleSheet(kReadStyle);
    m_txtusername->setCursor(Qt::PointingHandCursor);
    // Names of any script keep the row's left-to-right order.
    m_txtusername->setLayoutDirection(Qt::LeftToRight);
    m_txtusername->setAlignment(Qt::AlignLeft | Qt::AlignAbsolute | Qt::AlignVCenter);
    m_txtusername->setContextMenuPolicy(Qt::NoContextMenu);
    m_txtusername->installEventFilter(this);
    connect(m_txtusername, &QLineEdit::editingFinished, this, &ListWidgetItem::OnTextEdited);
    connect(m_txtusername, &QLineEdit::selectionChanged, this, &ListWidgetItem::OnSelectionChanged);
    ShowName(name);
}

bool ListWidgetItem::IsNeutralised(QChar c) {
    if (c.category() == QChar::Other_Control)
        return true;
    // The marks, embeddings, overrides and isolates of bidirectional text:
    // they would turn the rest of the row round, or make a name read as
    // another one.
    const char16_t u = c.unicode();
    return u == 0x061C || u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E) ||
           (u >= 0x2066 && u <= 0x2069);
}

QString ListWidgetItem::Visible(const QString& name) {
    QString visible;
    visible.reserve(name.size());
    for (QChar c : name)
        visible += IsNeutralised(c) ? QChar(0xFFFD) : c;
    return visible;
}

QString ListWidgetItem::ToolTip(const QString& name) {
    // Tool tips take anything that looks like markup for rich text; the
    // name goes in escaped, so that it reads as what was sent.
    return QStringLiteral("<p style='white-space:pre'>") + Visible(name).toHtmlEscaped() +
           QStringLiteral("</p>");
}

QString ListWidgetItem::Shown(const QString& name) {
    const QString visible = Visible(name);
    // Count user-perceived characters, so an emoji or a combined letter is
    // never cut in half.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, visible);
    int chars = 0;
    qsizetype cut = -1;
    while (finder.toNextBoundary() != -1) {
        if (++chars == kShownChars)
            cut = finder.position();
        if (chars > kShownChars)
            return visible.left(cut) + QStringLiteral("...");
    }
    return visible;
}

void ListWidgetItem::ShowName(const QString& name) {
    m_fullName = name;
    m_txtusername->setText(Shown(name));
    m_txtusername->setCursorPosition(0);
    m_txtusername->setToolTip(ToolTip(name));
}

void ListWidgetItem::StartRename() {
    m_txtusername->setReadOnly(false);
    m_txtusername->setStyleSheet(kEditStyle);
    m_txtusername->setText(m_fullName);
    m_txtusername->setFocus();
    m_txtusername->selectAll();
}

void ListWidgetItem::OnTextEdited() {
    if (m_txtusername->isReadOnly())
        return;
    const QString text = m_txtusername->text();
    m_txtusername->setReadOnly(true);
    m_txtusername->setStyleSheet(kReadStyle);
    // An empty nickname gives the client its own name back.
    ShowName(text.isEmpty() ? m_lookName : text);
    if (CLumariCore* core = m_host.Core())
        core->SetClientNickName(m_mac, text.toStdWString());
}

void ListWidgetItem::OnSelectionChanged() {
    // A read-only name is a label: it shows no selection.
    if (m_txtusername->isReadOnly() && m_txtusername->hasSelectedText())
        m_txtusername->deselect();
}

void ListWidgetItem::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    emit MouseLeave();
}

bool ListWidgetItem::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_txtusername && m_txtusername->isReadOnly() &&
        event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        StartRename();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
