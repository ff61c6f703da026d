#pragma once
// The Adjust page of the edit dialog: turn and mirror the picture, and
// choose the output aspect ("Original Display", "Original Resolution",
// "Full Screen", "Pan Scan", "16:9", "4:3"). The page edits the dialog's
// CropSettings through the access functions the dialog installs (without
// them, a record of its own); the ratio choices are worked out by the dialog
// (radCheckChange, seedFillModeChange), which knows the source.

#include "engine/EditRecords.h"

#include <QWidget>

#include <functional>

class QButtonGroup;
class QPushButton;
class QRadioButton;
class QTextImageButton;

class QAdjustOperateDlg : public QWidget
{
    Q_OBJECT
public:
    explicit QAdjustOperateDlg(QWidget *parent = nullptr);

    using Reader = std::function<CropSettings()>;
    using Writer = std::function<void(const CropSettings &)>;
    void setRecordAccess(Reader read, Writer write);
    CropSettings record() const;

    // 0 "Original Display" (also "Pan Scan"), 1 "Original Resolution",
    // 2 "Full Screen", 3 "16:9", 4 "4:3"; 6 when nothing is checked.
    int ratioType() const;
    bool isPanScanChecked() const;
    // Checks the record's choice and asks the dialog to work it out.
    void showRecord(const CropSettings &crop);

    QRadioButton *radio(int id) const; // ids: the order of the members below

signals:
    void radCheckChange();
    void seedFillModeChange();
    void ApplyToAll();

public slots:
    void OnLeftRotate();
    void OnRightRotate();
    void OnFlipH();
    void OnFilpV();

private:
    void write(const CropSettings &crop);
    void changeRecord(void (*change)(CropSettings &));

    Reader m_read;
    Writer m_write;
    CropSettings m_own;

    QTextImageButton *m_btnLeftRotate;
    QTextImageButton *m_btnRightRotate;
    QTextImageButton *m_btnFlipH;
    QTextImageButton *m_btnFlipV;
    QRadioButton *m_radOriginalAspect;
    QRadioButton *m_radOriginalSize;
    QRadioButton *m_radScreen;
    QRadioButton *m_radPanScan;
    QRadioButton *m_radRatio16_9;
    QRadioButton *m_radRatio4_3;
    QButtonGroup *m_group;
    QTextImageButton *m_btnApply;
};
