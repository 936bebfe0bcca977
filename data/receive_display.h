#pragma once

#include "data/display_line_store.h"

#include <QPlainTextEdit>
#include <QTimer>

#include <functional>

// The shared receive display "edtMsg". Lines land in a DisplayLineStore at
// once; the widget catches up at most about 60 times a second, adding every
// pending line inside one edit block, so a burst of chunks costs one layout
// and one repaint instead of one per chunk.
class ReceiveDisplay : public QPlainTextEdit
{
    Q_OBJECT

public:
    static constexpr int kRefreshMs = 16;
    // Of a longer line the view shows this many characters and a note of its
    // length; the store and the log keep the line whole. Laying out every
    // character of a 64 KiB chunk in hex would cost far more than receiving it.
    static constexpr int kMaxShownChars = 4096;

    ReceiveDisplay(DisplayLineStore& store, QWidget* parent = nullptr);

    // Read at every refresh: while true the view follows the newest line.
    void SetAutoScroll(std::function<bool()> autoScroll) { autoScroll_ = std::move(autoScroll); }

    // Shows everything the store holds now (tests and shutdown use it).
    void Refresh();

    // At most this share of the time goes to catching up: a refresh that took
    // long (many wide glyphs to lay out) puts the next one further off.
    static constexpr int kRefreshCostFactor = 4;
    // A refresh by the timer lays out lines for about this long at most; the
    // rest waits for the next one. A flood of lines (a file sent in 64-byte
    // chunks shows two lines per chunk) thus never freezes the window.
    static constexpr int kRefreshBudgetMs = 20;

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void RefreshAndReschedule();
    // Shows pending lines for up to `budgetMs`, all of them when it is negative.
    void ShowPending(qint64 budgetMs);
    // Returns the characters inserted (a line break counted as one).
    qint64 AppendLine(QTextCursor& cursor, const DisplayText& text, LineColor color, bool first);
    void LearnCost(qint64 nanoseconds, qint64 chars);

    static constexpr qint64 kCostSampleChars = 4096;
    static constexpr double kMinMsPerChar = 1e-6;
    static constexpr double kMaxMsPerChar = 1e-2;
    static constexpr double kCostDecay = 0.95;

    DisplayLineStore& store_;
    QTimer refreshTimer_;
    std::function<bool()> autoScroll_;
    quint64 shownGeneration_ = 0;
    qsizetype shownLines_ = 0;
    // What inserting and laying out one character cost of late; at first a
    // guess on the slow side (50,000 characters in 20 ms).
    double msPerChar_ = 4e-4;
};
