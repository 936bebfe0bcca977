#include "ports/lpt_page.h"

LptPage::LptPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("tsLPT"));
}
