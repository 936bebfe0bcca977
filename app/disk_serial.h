#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The serial numbers of the machine's physical disks, read from sysfs and the
// udev database: the block devices with a device behind them (not loop, RAM,
// mapper or optical drives), in name order, at most 16. A disk that tells no
// serial number gives the empty text.
class TCnHardDiskInfo
{
public:
    static constexpr int kMaxDisks = 16;

    // `root` stands for "/" (tests give a fake tree).
    explicit TCnHardDiskInfo(QString root = QStringLiteral("/"));

    // The raw serial texts, in disk order.
    const QList<QByteArray>& RawSerials() const { return serials_; }
    // The normalised identifier of disk `index`, or the empty text.
    QString GetDiskSerialNo(int index) const;

private:
    QByteArray ReadSerial(const QString& disk) const;

    QString root_;
    QList<QByteArray> serials_;
};
