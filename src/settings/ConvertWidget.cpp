#include "settings/ConvertWidget.h"
#include "ui_ConvertWidget.h"

#include "settings/PageStyle.h"
#include "settings/ParserXML.h"
#include "widgets/Theme.h"

ConvertWidget::ConvertWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ConvertWidget)
{
    ui->setupUi(this);
    setAutoFillBackground(true);
    setStyleSheet(Theme::sheet("ConvertWidget { background-color: @panel; }") + PageStyle::groupBoxes()
                  + PageStyle::checkBoxes());
    QFont font = Theme::font(12);
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
