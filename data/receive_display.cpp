#include "data/receive_display.h"

#include <QScrollBar>
#include <QTextBlock>

ReceiveDisplay::ReceiveDisplay(DisplayLineStore& store, QWidget* parent) : QPlainTextEdit(parent), store_(store)
{
    setObjectName(QStringLiteral("edtMsg"));
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(&refreshTimer_, &QTimer::timeout, this, &ReceiveDisplay::Refresh);
    refreshTimer_.start(kRefreshMs);
}

void ReceiveDisplay::mouseDoubleClickEvent(QMouseEvent* event)
{
    QPlainTextEdit::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

void ReceiveDisplay::AppendLine(QTextCursor& cursor, const DisplayLineStore::Line& line, bool first)
{
    QTextCharFormat format;
    if (line.color == kWindowText)
        format.setForeground(palette().color(QPalette::WindowText));
    else
        format.setForeground(QColor::fromRgb(line.color));
    const QString& text = line.text;
    qsizetype start = 0;
    do {
        if (!first)
            cursor.insertBlock();
        first = false;
        cursor.insertText(text.mid(start, kMaxBlockChars), format);
        start += kMaxBlockChars;
    } while (start < text.size());
}

void ReceiveDisplay::Refresh()
{
    const bool emptied = store_.Generation() != shownGeneration_;
    const qsizetype total = store_.LineCount();
    if (!emptied && total == shownLines_)
        return;

    if (emptied) {
        clear();
        shownGeneration_ = store_.Generation();
        shownLines_ = 0;
    }
    if (total > shownLines_) {
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::End);
        cursor.beginEditBlock();
        for (qsizetype i = shownLines_; i < total; ++i)
            AppendLine(cursor, store_.At(i), document()->isEmpty() && i == 0);
        cursor.endEditBlock();
        shownLines_ = total;
    }
    if (!autoScroll_ || autoScroll_()) {
        QTextCursor end(document());
        end.movePosition(QTextCursor::End);
        setTextCursor(end);
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    }
}
