#include "send/send_panel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QPlainTextEdit>
#include <QPushButton>

SendPanel::SendPanel(const Names& names, const QString& memoText, QWidget* parent) : QWidget(parent)
{
    memo = new QPlainTextEdit(memoText, this);
    memo->setObjectName(QString::fromLatin1(names.memo));
    hex = new QCheckBox(QStringLiteral("HEX发送"), this);
    hex->setObjectName(QString::fromLatin1(names.hex));
    newline = nullptr;
    if (names.newline) {
        newline = new QCheckBox(QStringLiteral("换行符\\r\\n"), this);
        newline->setObjectName(QString::fromLatin1(names.newline));
    }
    echo = new QCheckBox(QStringLiteral("echo"), this);
    echo->setObjectName(QString::fromLatin1(names.echo));
    send = new QPushButton(QStringLiteral("发送"), this);
    send->setObjectName(QString::fromLatin1(names.send));

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(memo, 0, 0, 1, 4);
    layout->addWidget(hex, 1, 0);
    if (newline)
        layout->addWidget(newline, 1, 1);
    layout->addWidget(echo, 1, 2);
    layout->addWidget(send, 1, 3);
}
