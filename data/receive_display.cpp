#include "data/receive_display.h"

#include <QRegularExpression>
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

namespace {

bool MayHoldWebAddress(const QString& text)
{
    return text.contains(QLatin1String("://")) || text.contains(QLatin1String("www."), Qt::CaseInsensitive);
}

// Inserts `text`, marking web addresses in it as underlined links.
void InsertWithLinks(QTextCursor& cursor, const QString& text, const QTextCharFormat& format)
{
    static const QRegularExpression kAddress(QStringLiteral("(?:https?|ftp)://[^\\s]+|www\\.[^\\s]+"),
                                             QRegularExpression::CaseInsensitiveOption);
    qsizetype done = 0;
    for (QRegularExpressionMatchIterator it = kAddress.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        cursor.insertText(text.mid(done, match.capturedStart() - done), format);
        QTextCharFormat link = format;
        link.setAnchor(true);
        link.setAnchorHref(match.captured());
        link.setFontUnderline(true);
        cursor.insertText(match.captured(), link);
        done = match.capturedEnd();
    }
    cursor.insertText(text.mid(done), format);
}

}  // namespace

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
        const QString piece = text.mid(start, kMaxBlockChars);
        if (MayHoldWebAddress(piece))
            InsertWithLinks(cursor, piece, format);
        else
            cursor.insertText(piece, format);
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
