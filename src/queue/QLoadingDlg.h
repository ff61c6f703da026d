#pragma once
// The modal progress dialog of an import: the source being probed, the
// count "i/n" and a progress bar. Cancel and the close button close it and
// ask the import to stop (seedStopAddFile); the import deletes it when it
// ends. GUI thread only: the import worker reaches the setters through
// queued calls.

#include "widgets/QNinePointsImageDialog.h"

#include <QPixmap>
#include <QWidget>

namespace Ui { class QLoadingDlg; }

// A bar painted from a track image with the filled part of a second image
// over it; the value is a percentage, 0 to 100.
class QLoadingProgressBar : public QWidget
{
    Q_OBJECT
public:
    explicit QLoadingProgressBar(QWidget *parent = nullptr);

    void setValue(float percent); // clamped into 0..100
    float value() const { return m_value; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_track;
    QPixmap m_filled;
    float m_value = 0.0f;
};

class QLoadingDlg : public QNinePointsImageDialog
{
    Q_OBJECT
public:
    explicit QLoadingDlg(QWidget *parent = nullptr);
    ~QLoadingDlg() override;

    QString addingPath() const;
    QString addedCount() const;
    float progress() const;

signals:
    void seedStopAddFile();

public slots:
    void OnCloseStop();
    void setAddingPath(const QString &path);
    void setAddedCount(const QString &count);
    void setProgress(float percent);

protected:
    void reject() override; // Escape stops the import like Cancel

private:
    void askStop();

    Ui::QLoadingDlg *ui;
    QString m_path;
    bool m_stopAsked = false;
};
