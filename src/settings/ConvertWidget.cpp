#include "settings/ConvertWidget.h"
#include "ui_ConvertWidget.h"

#include "settings/PageStyle.h"
#include "settings/ParserXML.h"

ConvertWidget::ConvertWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ConvertWidget)
{
    ui->setupUi(this);
    setAutoFillBackground(true);
    setStyleSheet(QString("ConvertWidget { background-color: rgb(62, 63, 63); }") + PageStyle::groupBoxes()
                  + PageStyle::checkBoxes());
    QFont font("Tahoma");
    font.setPixelSize(12);
    setFont(font);
    ui->m_GroupFinish->setTitle(tr("Conversion Completed"));
    ui->m_chkShowDown->setText(tr("Turn Off Computer"));
    ui->m_chkShowDown->setChecked(
        ParserXML::readSetting("SHOWDOWN_ITEM", "bIsShowDownComputer", "N") == "Y");
}

ConvertWidget::~ConvertWidget()
{
    delete ui;
}

void ConvertWidget::save()
{
    ParserXML::writeSetting("SHOWDOWN_ITEM", "bIsShowDownComputer",
                            ui->m_chkShowDown->isChecked() ? "Y" : "N");
}
