#include "data/receive_display.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>

ReceiveDisplay::ReceiveDisplay(DisplayLineStore& store, QWidget* parent) : QPlainTextEdit(parent), store_(store)
{
    setObjectName(QStringLiteral("edtMsg"));
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    refreshTimer_.setSingleShot(true);
    connect(&refreshTimer_, &QTimer::timeout, this, &ReceiveDisplay::RefreshAndReschedule);
    refreshTimer_.start(kRefreshMs);
}

void ReceiveDisplay::RefreshAndReschedule()
{
    QElapsedTimer took;
    took.start();
    ShowPending(kRefreshBudgetMs);
    refreshTimer_.start(std::max<qint64>(kRefreshMs, kRefreshCostFactor * took.elapsed()));
}

void ReceiveDisplay::mouseDoubleClickEvent(QMouseEvent* event)
{
    QPlainTextEdit::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

namespace {

bool MayHoldWebAddress(QStringView text)
{
    return text.contains(u"://") || text.contains(u"www.") || text.contains(u"WWW.");
}

// Inserts `text`, marking web addresses in it as underlined links.
void InsertWithLinks(QTextCursor& cursor, QStringView text, const QTextCharFormat& format)
{
    static const QRegularExpression kAddress(QStringLiteral("(?:https?|ftp)://[^\\s]+|www\\.[^\\s]+"),
                                             QRegularExpression::CaseInsensitiveOption);
    qsizetype done = 0;
    for (QRegularExpressionMatchIterator it = kAddress.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        cursor.insertText(text.mid(done, match.capturedStart() - done).toString(), format);
        QTextCharFormat link = format;
        link.setAnchor(true);
        link.setAnchorHref(match.captured());
        link.setFontUnderline(true);
        cursor.insertText(match.captured(), link);
        done = match.capturedEnd();
    }
    cursor.insertText(text.mid(done).toString(), format);
}

}  // namespace

qint64 ReceiveDisplay::AppendLine(QTextCursor& cursor, const DisplayText& text, LineColor color, bool first)
{
    QTextCharFormat format;
    if (color == kWindowText)
        format.setForeground(palette().color(QPalette::WindowText));
    else
        format.setForeground(QColor::fromRgb(color));
    if (!first)
        cursor.insertBlock();
    // Only the shown part of a line is ever rendered; its whole length is
    // counted only when the shown part reaches the limit.
    const QString shown = text.Left(kMaxShownChars);
    if (MayHoldWebAddress(shown))
        InsertWithLinks(cursor, shown, format);
    else
        cursor.insertText(shown, format);
    const qsizetype size = shown.size() < kMaxShownChars ? shown.size() : text.Size();
    if (size > kMaxShownChars)
        cursor.insertText(QStringLiteral(" …（此行共%1字符，只显示前%2字符）").arg(size).arg(kMaxShownChars),
                          format);
    return shown.size() + 1;
}

void ReceiveDisplay::LearnCost(qint64 nanoseconds, qint64 chars)
{
    // Only a refresh of some size tells the cost. A dearer one is believed at
    // once, a cheaper one slowly: the cost per character varies from turn to
    // turn, and the budget is a bound, not an average.
    if (chars < kCostSampleChars)
        return;
    const double latest = static_cast<double>(nanoseconds) / 1e6 / static_cast<double>(chars);
    msPerChar_ = std::clamp(std::max(latest, msPerChar_ * kCostDecay), kMinMsPerChar, kMaxMsPerChar);
}

void ReceiveDisplay::Refresh()
{
    ShowPending(-1);
}

void ReceiveDisplay::ShowPending(qint64 budgetMs)
{
    QElapsedTimer took;
    took.start();
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
        // The layout of what was inserted happens when the edit block ends,
        // after the insertion loop; so the budget is also kept in characters,
        // from what the last refresh cost per character in all.
        const qint64 charBudget = budgetMs < 0 ? -1 : static_cast<qint64>(budgetMs / msPerChar_);
        QElapsedTimer laidOut;
        laidOut.start();
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::End);
        cursor.beginEditBlock();
        qsizetype i = shownLines_;
        qint64 chars = 0;
        while (i < total && (budgetMs < 0 || (!took.hasExpired(budgetMs) && chars < charBudget))) {
            chars += AppendLine(cursor, store_.TextAt(i), store_.ColorAt(i), document()->isEmpty() && i == 0);
            ++i;
        }
        cursor.endEditBlock();
        shownLines_ = i;
        LearnCost(laidOut.nsecsElapsed(), chars);
    }
    if (!autoScroll_ || autoScroll_()) {
        QTextCursor end(document());
        end.movePosition(QTextCursor::End);
        setTextCursor(end);
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    }
}
