#pragma once
// The queue list in the centre of the main window. This first version is the
// empty list: its empty-state painting, its signals and the operations the
// main window calls. Rows, the import worker and the conversion run fill it in.

#include <QWidget>

namespace Ui { class QMainDlg; }

class QMainDlg : public QWidget
{
    Q_OBJECT
public:
    explicit QMainDlg(QWidget *parent = nullptr);
    ~QMainDlg() override;

    int itemCount() const { return m_itemCount; }

    // Operations for the main window.
    void openFiles();          // the open dialog ("Import")
    void convertAll();
    void mergeAll();
    void stopConvert();

signals:
    void emitDownedCount(int count);
    void seedIsAddItem(bool hasItems);
    void emitIsStartConverter(bool bStart);
    void emitVideo(QString filePath);
    void seedAddComplete(bool bShowMsg);
    void emitConvertedFinish();
    void emitFormatChange();

public slots:
    void addDvdFolder(QString fileNames, bool bISO);
    void addDvdFolder(QString fileNames);
    void addImportFile(QStringList fileNames);
    void OnLoadDvd();
    void OnLoadISOFile();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutEmptyState();

    Ui::QMainDlg *ui = nullptr;
    int m_itemCount = 0; // rows in the list; rows arrive with the queue rows
};
