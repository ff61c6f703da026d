#pragma once
// Optical drives of this machine for the DVD menu: every /dev/sr* device,
// with the folder it is mounted on (if any) and the disc's volume label.

#include <QList>
#include <QString>

struct OpticalDrive
{
    QString device;      // "/dev/sr0"
    QString mountPoint;  // where the disc is mounted, empty when it is not
    QString label;       // volume label, empty when it cannot be read

    // What the DVD import opens: the mounted folder, else the device itself.
    QString root() const { return mountPoint.isEmpty() ? device : mountPoint; }
    // Menu text: the root followed by the label when there is one.
    QString menuText() const { return label.isEmpty() ? root() : root() + "  " + label; }
};

namespace OpticalDrives {

// Scans devDir for sr* block devices and procMounts for their mount points.
// The parameters exist so tests can point the scan at a fake tree.
QList<OpticalDrive> scan(const QString &devDir = QStringLiteral("/dev"),
                         const QString &procMounts = QStringLiteral("/proc/mounts"));

// The volume identifier of an ISO 9660 / UDF-bridge disc read from its primary
// volume descriptor (sector 16); empty when the device or image is unreadable.
QString readIsoVolumeLabel(const QString &deviceOrImage);

} // namespace OpticalDrives
