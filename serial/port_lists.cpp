#include "serial/port_lists.h"

#include <QComboBox>
#include <QSignalBlocker>

void LoadPortLists(QComboBox* cbb_COM, QComboBox* cbb2_COM, const std::vector<SerialPortInfo>& ports)
{
    for (QComboBox* box : {cbb_COM, cbb2_COM}) {
        if (box == nullptr)
            continue;
        const QSignalBlocker blocker(box);
        box->clear();
        box->addItem(QString::fromUtf8(kRefreshEntry));
        for (const SerialPortInfo& port : ports)
            box->addItem(port.path + QStringLiteral("()"));
        box->setCurrentIndex(0);
    }
}

void LoadPortLists(QComboBox* cbb_COM, QComboBox* cbb2_COM)
{
    LoadPortLists(cbb_COM, cbb2_COM, EnumerateSerialPorts());
}
