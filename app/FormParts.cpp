#include "FormParts.h"

#include <QLabel>
#include <QPushButton>

QLabel* FormParts::Label(QWidget* parent, const char* name, const QRect& geometry,
                         const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(geometry);
    return l;
}

QPushButton* FormParts::Button(QWidget* parent, const char* name, const QRect& geometry,
                               const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    b->setCursor(Qt::PointingHandCursor);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}
