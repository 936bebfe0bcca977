#pragma once

#include <QByteArray>
#include <QtGlobal>

// Finds a fixed byte string in a stream fed one byte at a time. The match
// position is 1-based: the index of the next pattern byte expected.
//
// After a mismatch only the first pattern byte is tested again, so a pattern
// whose prefix repeats inside it (a a b) can miss an overlapping occurrence
// (a a a b). The begin and end markers of this system's packets are short
// and do not rely on such overlaps.
class TCommEventNew
{
public:
    void SetPattern(const QByteArray& pattern)
    {
        // Packets reload their markers at every reset: keep the shared copy.
        if (!pattern_.isSharedWith(pattern))
            pattern_ = pattern;
        Reset();
    }
    const QByteArray& Pattern() const { return pattern_; }

    void Reset() { position_ = 1; }
    // A match is under way.
    bool IsPossible() const { return position_ > 1; }
    int Position() const { return position_; }

    // Feeds one byte; true when it completes the pattern (the matcher is then
    // reset). A pattern byte equal to a non-zero `wild` matches any byte.
    bool IsEvent(quint8 byte, quint8 wild);

private:
    QByteArray pattern_;
    int position_ = 1;
};
