#include "shell/OpticalDrives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// /proc/mounts escapes blanks and a few other characters as octal "\040".
QString unescapeMountField(const QString &field)
{
    QString out;
    for (int i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out += QChar(code);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

} // namespace

namespace OpticalDrives {

QString readIsoVolumeLabel(const QString &deviceOrImage)
{
    QFile f(deviceOrImage);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    // Primary volume descriptor: sector 16; type 1, "CD001", volume id at 40..71.
    if (!f.seek(16 * 2048))
        return QString();
    const QByteArray pvd = f.read(2048);
    if (pvd.size() < 72 || pvd[0] != 1 || pvd.mid(1, 5) != "CD001")
        return QString();
    return QString::fromLatin1(pvd.mid(40, 32)).trimmed();
}

QList<OpticalDrive> scan(const QString &devDir, const QString &procMounts)
{
    QList<OpticalDrive> drives;
    const QDir dev(devDir);
    const QStringList names = dev.entryList(QStringList() << "sr*", QDir::System | QDir::Files,
                                            QDir::Name);
    static const QRegularExpression srName("^sr\\d+$");

    QFile mounts(procMounts);
    QList<QPair<QString, QString>> mountTable; // device, mount point
    if (mounts.open(QIODevice::ReadOnly | QIODevice::Text)) {
        const QList<QByteArray> lines = mounts.readAll().split('\n');
        for (const QByteArray &line : lines) {
            const QStringList f = QString::fromUtf8(line).split(' ', Qt::SkipEmptyParts);
            if (f.size() >= 2)
                mountTable.append({unescapeMountField(f[0]), unescapeMountField(f[1])});
        }
    }

    for (const QString &name : names) {
        if (!srName.match(name).hasMatch())
            continue;
        OpticalDrive d;
        d.device = dev.absoluteFilePath(name);
        const QString canonical = QFileInfo(d.device).canonicalFilePath();
        for (const auto &m : mountTable) {
            if (m.first == d.device || (!canonical.isEmpty() && QFileInfo(m.first).canonicalFilePath() == canonical)) {
                d.mountPoint = m.second;
                break;
            }
        }
        d.label = readIsoVolumeLabel(d.device);
        drives.append(d);
    }
    return drives;
}

} // namespace OpticalDrives
