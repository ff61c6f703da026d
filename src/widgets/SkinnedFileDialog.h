#pragma once
// Qt's own (non-native) file and folder dialogs in the skin's dark colours,
// opened at a size where the name, size, type and date columns all show.
// Each call runs the dialog modally and returns what was chosen, or an empty
// result when it was cancelled.

#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

namespace SkinnedFileDialog {

QString existingDirectory(QWidget *parent, const QString &title, const QString &startDir);
QString openFileName(QWidget *parent, const QString &title, const QString &startDir, const QString &filter);
QStringList openFileNames(QWidget *parent, const QString &title, const QString &startDir,
                          const QString &filter);

// The look and size the calls above give their dialog.
void prepare(QFileDialog &dialog);

} // namespace SkinnedFileDialog
