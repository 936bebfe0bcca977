#pragma once

#include <functional>

#include <QPlainTextEdit>
#include <QTimer>

#include "data/display_line_store.h"

// The shared receive display "edtMsg". Lines land in a DisplayLineStore at
// once; the widget catches up at most about 60 times a second, adding every
// pending line inside one edit block, so a burst of chunks costs one layout
// and one repaint instead of one per chunk.
class ReceiveDisplay : public QPlainTextEdit
{
    Q_OBJECT

public:
    static constexpr int kRefreshMs = 16;
    // Longer store lines are shown as several blocks of this many characters:
    // a single block of hundreds of kilobytes stalls text layout.
    static constexpr int kMaxBlockChars = 4096;

    ReceiveDisplay(DisplayLineStore& store, QWidget* parent = nullptr);

    // Read at every refresh: while true the view follows the newest line.
    void SetAutoScroll(std::function<bool()> autoScroll) { autoScroll_ = std::move(autoScroll); }

    // Shows everything the store holds now (tests and shutdown use it).
    void Refresh();

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void AppendLine(QTextCursor& cursor, const DisplayLineStore::Line& line, bool first);

    DisplayLineStore& store_;
    QTimer refreshTimer_;
    std::function<bool()> autoScroll_;
    quint64 shownGeneration_ = 0;
    qsizetype shownLines_ = 0;
};
