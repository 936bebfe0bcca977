#pragma once

#include <QApplication>

// The application object. An exception that escapes an event handler is
// shown in a message box and the program goes on, as a desktop tool must:
// one bad input never takes the open links down with it.
class Application : public QApplication
{
    Q_OBJECT

public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};
