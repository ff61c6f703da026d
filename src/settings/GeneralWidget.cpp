#include "settings/GeneralWidget.h"
#include "ui_GeneralWidget.h"

#include "settings/PageStyle.h"
#include "settings/ParserXML.h"
#include "base/AppPaths.h"
#include "widgets/Theme.h"

#include <QDomDocument>
#include <QFile>

namespace {

QString languageTablePath()
{
    return AppPaths::dataPath("/Language/Language.xml");
}

// The display names of the language table, in file order, without repeats.
QStringList languageNames(const QString &xmlPath)
{
    QStringList names;
    QFile file(xmlPath);
    QDomDocument doc;
    if (!file.open(QIODevice::ReadOnly) || !doc.setContent(&file))
        return names;
    for (QDomElement e = doc.documentElement().firstChildElement(); !e.isNull();
         e = e.nextSiblingElement()) {
        const QString name = e.attribute("Language_Name").trimmed();
        if (!name.isEmpty() && !names.contains(name))
            names << name;
    }
    return names;
}

} // namespace

GeneralWidget::GeneralWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::GeneralWidget)
{
    ui->setupUi(this);
    setAutoFillBackground(true);
    setStyleSheet(Theme::sheet("GeneralWidget { background-color: @panel; }") + PageStyle::groupBoxes()
                  + PageStyle::radioButtons()
                  + Theme::sheet("QComboBox { background: @field; color: white; border: 1px solid rgb(90, 90, 90);"
                                 " padding: 2px 6px; }"
                                 "QComboBox QAbstractItemView { background: @panel; color: white;"
                                 " selection-background-color: @selection; }"));
    QFont font = Theme::font(12);
    setFont(font);

    ui->m_GroupUpdates->setTitle(tr("Automatic updates"));
    ui->m_radAutoUpdate->setText(tr("Automatically update to the newest version"));
    ui->m_radCloseUpdate->setText(tr("Close automatic updates"));
    ui->m_GroupClose->setTitle(tr("Close"));
    ui->m_radMin->setText(tr("Minimize to Tray"));
    ui->m_radExit->setText(tr("Exit"));
    ui->m_GroupLanguage->setTitle(tr("Language"));

    ui->m_cmbLan->addItems(languageNames(languageTablePath()));
    connect(ui->m_cmbLan, &QComboBox::currentIndexChanged, this, &GeneralWidget::languageChange);
    load();
}

GeneralWidget::~GeneralWidget()
{
    delete ui;
}

void GeneralWidget::load()
{
    m_loadedAutoUpdate = ParserXML::readSetting("UPDATES_ITEM", "bIsAutoUpdate", "N") == "Y";
    ui->m_radAutoUpdate->setChecked(m_loadedAutoUpdate);
    ui->m_radCloseUpdate->setChecked(!m_loadedAutoUpdate);

    m_loadedExit = ParserXML::readSetting("CLOSE_ITEM", "bIsCloseDlg", "Y") == "Y";
    ui->m_radExit->setChecked(m_loadedExit);
    ui->m_radMin->setChecked(!m_loadedExit);
}

void GeneralWidget::save()
{
    const bool autoUpdate = ui->m_radAutoUpdate->isChecked();
    if (autoUpdate != m_loadedAutoUpdate) {
        ParserXML::writeSetting("UPDATES_ITEM", "bIsAutoUpdate", autoUpdate ? "Y" : "N");
        m_loadedAutoUpdate = autoUpdate;
        emit sendUpdate(autoUpdate);
    }
    const bool exit = ui->m_radExit->isChecked();
    if (exit != m_loadedExit) {
        ParserXML::writeSetting("CLOSE_ITEM", "bIsCloseDlg", exit ? "Y" : "N");
        m_loadedExit = exit;
    }
}

void GeneralWidget::languageChange(int index)
{
    if (index < 0)
        return;
    const QString file = ParserXML::languageFile(languageTablePath(), ui->m_cmbLan->itemText(index));
    if (!file.isEmpty())
        emit sendLanguageName(AppPaths::dataPath("/Language/") + file);
}
