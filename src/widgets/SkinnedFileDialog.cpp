#include "widgets/SkinnedFileDialog.h"

#include "widgets/Theme.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>

namespace SkinnedFileDialog {

void prepare(QFileDialog &dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setPalette(Theme::darkPalette());
    dialog.setViewMode(QFileDialog::Detail);
    // Large enough for the four columns of the detail view, never larger than
    // the screen it opens on.
    QSize size(900, 560);
    const QWidget *anchor = dialog.parentWidget() ? dialog.parentWidget()->window() : nullptr;
    if (const QScreen *screen = anchor ? anchor->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() * 0.9);
    dialog.resize(size);
    if (auto *view = dialog.findChild<QTreeView *>())
        view->header()->resizeSection(0, size.width() / 2);
    if (anchor) {
        const QRect area = anchor->frameGeometry();
        dialog.move(area.center() - QPoint(size.width() / 2, size.height() / 2));
    }
}

QString existingDirectory(QWidget *parent, const QString &title, const QString &startDir)
{
    QFileDialog dialog(parent, title, startDir);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    prepare(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

QStringList openFileNames(QWidget *parent, const QString &title, const QString &startDir, const QString &filter)
{
    QFileDialog dialog(parent, title, startDir, filter);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    prepare(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString openFileName(QWidget *parent, const QString &title, const QString &startDir, const QString &filter)
{
    QFileDialog dialog(parent, title, startDir, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    prepare(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

} // namespace SkinnedFileDialog
