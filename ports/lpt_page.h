#pragma once

#include <QWidget>

// The "并口" page.
class LptPage : public QWidget
{
    Q_OBJECT

public:
    explicit LptPage(QWidget* parent = nullptr);
};
