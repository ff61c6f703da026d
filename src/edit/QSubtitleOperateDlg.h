#pragma once
// The Subtitle page of the edit dialog: which audio track goes into the
// output, which subtitle is burnt into the picture (none, a stream of the
// source, its closed captions, or a subtitle file), the subtitle files the
// user adds or removes, and the subtitle font.
//
// The page only keeps the lists and reports choices; the edit dialog applies
// them to the preview and reads the choice back. Its entries are the queue
// row's entries in the row's order: index i here is index i in the row.

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

#include "engine/EditRecordTypes.h"

class QLabel;
class QLineEdit;
class QCustomComboBox;
class QTextImageButton;

class QSubtitleOperateDlg : public QWidget
{
    Q_OBJECT
public:
    explicit QSubtitleOperateDlg(QWidget *parent = nullptr);

    // Filling the lists does not emit AudioSelChange/SubtlSelChange: it is
    // not a choice of the user.
    void setAudioList(const QStringList &names, int index);
    void setSubtitleList(const QList<subltItemInfo> &entries, int index);
    QStringList audioList() const;
    QList<subltItemInfo> subtitleList() const { return m_entries; }

    int audioIndex() const;
    int subtitleIndex() const;
    // Silent selection, as the lists are filled.
    void selectAudio(int index);
    void selectSubtitle(int index);
    // The file of the chosen entry; empty for "[None]", streams and captions.
    QString subtitleFilePath() const;
    // The path line.
    void setPath(const QString &path);
    QString path() const;

    // Adds the subtitle file at `path` as addSubtitleFile does after its file
    // dialog: an entry already listed with that path is only selected.
    void addSubtitlePath(const QString &path);
    // The entry name of a subtitle file: "(base name)[SUFFIX]".
    static QString entryName(const QString &path);

    // Where the font dialog takes the current look from (the edit dialog's
    // record); without one it starts from the defaults.
    void setStyleSource(std::function<SubtitleStyleSettings()> source) { m_styleSource = std::move(source); }

signals:
    void AudioSelChange(int index);
    void SubtlSelChange(int index);
    void emitAddSubtl(QString name, QString path);
    void removeSubtl(int index);
    // The look chosen in the font dialog, the whole record.
    void emitSubtlStyle(SubtitleStyleSettings style);

public slots:
    void addSubtitleFile();
    void deleteSubtitleFile();
    void setSubtlFont();

private:
    void fillSubtitleCombo(int index);
    void onAudioChosen(int index);
    void onSubtitleChosen(int index);

    QCustomComboBox *m_cmbAudio;
    QCustomComboBox *m_cmbSubtitle;
    QLabel *m_labSub;
    QLineEdit *m_editPath;
    QTextImageButton *m_btnAdd;
    QTextImageButton *m_btnDel;
    QTextImageButton *m_btnFont;

    QList<subltItemInfo> m_entries;
    bool m_filling = false;
    std::function<SubtitleStyleSettings()> m_styleSource;
};
