#pragma once
// One row of the converted-files list: thumbnail, name and the facts the
// history recorded, a button that shows the file in its folder and one that
// removes the row.

#include "settings/SettingsRecords.h"

#include <QWidget>

#include <functional>

namespace Ui { class ConvertedItem; }

class ConvertedItem : public QWidget
{
    Q_OBJECT
public:
    explicit ConvertedItem(QWidget *parent = nullptr);
    ~ConvertedItem() override;

    // Every row has this height, so a list knows where each entry lies
    // without making its row.
    static constexpr int Height = 64;

    // Fills the row from the history entry of `path` ("Unkown" facts without one).
    void setPath(const QString &path);
    // Fills the row from a history entry already read.
    void setRecord(const ConvertedFileInfo &record);
    QString path() const { return m_path; }

    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

    // How "show in folder" reaches the desktop; tests replace it.
    using FolderOpener = std::function<void(const QString &filePath)>;
    static void setFolderOpener(FolderOpener opener);
    // The default: the file manager's FileManager1.ShowItems over D-Bus,
    // else the folder opened with the desktop's default handler.
    static void showInFolder(const QString &filePath);

signals:
    void emitMousePress();
    void emitDelete();

public slots:
    void OnBtnSearch();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    // The facts of `info` ("Unkown" without one) and its thumbnail.
    void showRecord(const ConvertedFileInfo *info);

    Ui::ConvertedItem *ui;
    QString m_path;
    bool m_selected = false;
    bool m_hover = false;
};
