#pragma once

#include <QWidget>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

// The send controls every channel page carries: the memo to send, the hex
// option, the optional line-end option, the echo option and the send button.
// Object names are given per page ("mmoCOM1", "chkHexCOM1", ...).
class SendPanel : public QWidget
{
    Q_OBJECT

public:
    struct Names
    {
        const char* memo;
        const char* hex;
        const char* newline;  // nullptr: the page has no line-end option
        const char* echo;
        const char* send;
    };

    static inline const char* const kDesignMemoText = "11 22 33 44 55 66 77 88 99";

    SendPanel(const Names& names, const QString& memoText, QWidget* parent = nullptr);

    QPlainTextEdit* memo;
    QCheckBox* hex;
    QCheckBox* newline;  // nullptr when the page has none
    QCheckBox* echo;
    QPushButton* send;
};
