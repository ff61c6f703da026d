#include "profiles/FormatWidget.h"
#include "ui_FormatWidget.h"

#include "profiles/FormatCategoryButton.h"
#include "profiles/FormatItem.h"
#include "profiles/FormatItemWidget.h"
#include "profiles/ProfileCatalog.h"
#include "profiles/QSettingDlg.h"
#include "settings/ParserXML.h"
#include "base/AppPaths.h"
#include "widgets/Theme.h"

#include <QDebug>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>

namespace {

// Geometry of the grid and the panel, the panel slid in or out.
const QRect kPanelIn(QPoint(174, 395), QPoint(866, 524));
const QRect kPanelOut(QPoint(174, 525), QPoint(866, 524)); // no height
const QRect kGridLong(QPoint(181, 39), QPoint(873, 522));
const QRect kGridShort(QPoint(181, 39), QPoint(873, 410));

const char kDefaultCategory[] = "Devices";
const char kDefaultFormatId[] = "1101";

// writeSetting only changes items that exist; reading first creates a missing one.
void storeSetting(const QString &item, const QString &key, const QString &value)
{
    ParserXML::readSetting(item, key, value);
    ParserXML::writeSetting(item, key, value);
}

int presetIndex(int quality)
{
    switch (quality) {
    case VideoQualityHigh: return 0;
    case VideoQualitySmallSize: return 1;
    default: return 2;
    }
}

} // namespace

FormatWidget *FormatWidget::instance()
{
    // Lives as long as the process, like the catalogue it shows.
    static FormatWidget *dialog = new FormatWidget(ProfileCatalog::instance());
    return dialog;
}

FormatWidget::FormatWidget(const ProfileCatalog &catalog, QWidget *parent)
    : QNinePointsImageDialog(parent)
    , ui(new Ui::FormatWidget)
    , m_catalog(catalog)
{
    ui->setupUi(this);
    setWindowTitle(tr("Output Format"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setBackgroundImage(AppPaths::dataPath("/image/Format_Dlg/bg_format.png"));

    QFont font = Theme::font(12);

    // 1-2. One button per category, in catalogue order.
    const QStringList categories = m_catalog.categories();
    int y = 45;
    for (const QString &key : categories) {
        auto *button = new FormatCategoryButton(key, this);
        button->setObjectName(QStringLiteral("m_btnType_%1").arg(m_categoryButtons.size()));
        button->move(15, y);
        y += 50;
        connect(button, &QPushButton::clicked, this, &FormatWidget::OnTypeBtn);
        m_categoryButtons.append(button);
    }

    // 3. The grid, the panel and their slide.
    m_formatItemDlg = new FormatItemWidget(m_catalog, this);
    m_formatItemDlg->setObjectName(QStringLiteral("m_formatItemDlg"));
    m_formatItemDlg->setFixedWidth(680);
    m_formatItemDlg->setGeometry(kGridLong);
    m_settingDlg = new QSettingDlg(m_catalog, this);
    m_settingDlg->setObjectName(QStringLiteral("m_settingDlg"));
    m_settingDlg->setGeometry(kPanelOut);
    m_settingDlg->raise();

    m_slide = new QParallelAnimationGroup(this);
    m_panelAnimation = new QPropertyAnimation(m_settingDlg, "geometry", m_slide);
    m_gridAnimation = new QPropertyAnimation(m_formatItemDlg, "geometry", m_slide);
    for (QPropertyAnimation *a : {m_panelAnimation, m_gridAnimation}) {
        a->setDuration(150);
        m_slide->addAnimation(a);
    }
    connect(m_slide, &QAbstractAnimation::finished, m_formatItemDlg, &FormatItemWidget::ensureCurrentVisible);

    connect(m_settingDlg, &QSettingDlg::emitIsCustomized, this, &FormatWidget::isSelCustomized);
    connect(m_settingDlg, &QSettingDlg::emitChangeText, this, &FormatWidget::valueChangeText);
    connect(m_formatItemDlg, &FormatItemWidget::emitClickBtnSet, this, &FormatWidget::OnClickBtnSet);
    connect(m_formatItemDlg, &FormatItemWidget::emitClickFormatWgt, this, &FormatWidget::OnClickFormatWgt);
    connect(m_formatItemDlg, &FormatItemWidget::emitItemPress, this, &FormatWidget::ItemPress);
    connect(m_formatItemDlg, &FormatItemWidget::emitDoubleClick, this, &FormatWidget::OnBtnOk);
    connect(ui->m_cmbQuality, QOverload<int>::of(&QComboBox::activated), this, &FormatWidget::ItemChange);
    connect(ui->m_btnCancel, &QPushButton::clicked, this, &FormatWidget::OnBtnCancel);
    connect(ui->m_btnClose, &QPushButton::clicked, this, &FormatWidget::OnBtnCancel);
    connect(ui->m_btnOk, &QPushButton::clicked, this, &FormatWidget::OnBtnOk);
    ui->m_btnOk->setDefault(true);
    connect(ui->m_labPresetName, &QLabel::linkActivated, this, [this] { OnClickBtnSet(m_formatId); });

    // 4. Preset box and buttons.
    ui->m_cmbQuality->addItems({tr("High Quality"), tr("Small Size"), tr("Customized")});
    ui->m_cmbQuality->setCurrentIndex(0);
    ui->m_LabPreset->setText(tr("Preset:"));
    ui->m_LabPreset->setFont(font);
    ui->m_LabPreset->setStyleSheet(Theme::sheet(QStringLiteral("color: @muted;")));
    ui->m_labPresetName->setFont(font);
    ui->m_labPresetName->setTextFormat(Qt::RichText);
    ui->m_labPresetName->setToolTip(tr("Settings"));
    setPresetLink(presetName(VideoQualityHigh));
    const QColor normal(230, 230, 230), hover(255, 255, 255), pressed(200, 200, 200), disabled(120, 120, 120);
    for (QTextImageButton *b : {ui->m_btnOk, ui->m_btnCancel}) {
        b->setImage(AppPaths::dataPath("/image/Common_bg/btn_common1.png"), QString(), Qt::AlignCenter);
        b->setFont(font);
        b->setTextColors(normal, hover, pressed, disabled);
    }
    ui->m_btnOk->setText(tr("Ok"));
    ui->m_btnCancel->setText(tr("Cancel"));
    ui->m_btnClose->loadImage(AppPaths::dataPath("/image/btn_close.png"));
    ui->m_btnClose->setText(QString());
    ui->m_btnClose->move(width() - ui->m_btnClose->width() - 10, 7);

    showPanel(true);
}

FormatWidget::~FormatWidget()
{
    m_slide->stop();
    delete ui;
}

QString FormatWidget::presetName(int quality)
{
    switch (quality) {
    case VideoQualitySmallSize: return tr("Small Size");
    case VideoQualityHigh: return tr("High Quality");
    default: return tr("Customized");
    }
}

QString FormatWidget::presetText() const
{
    return ui->m_cmbQuality->shownText();
}

QString FormatWidget::presetLinkText() const
{
    return ui->m_labPresetName->text();
}

QString FormatWidget::currentFormatIcon() const
{
    return AppPaths::dataPath("/image/Format/") + QStringLiteral("icon_%1.png").arg(m_formatId);
}

void FormatWidget::setPresetLink(const QString &name)
{
    ui->m_labPresetName->setText(
        QStringLiteral("<a href=\"#settings\" style=\"color: #ffffff; text-decoration: none;\">%1</a>")
            .arg(name.toHtmlEscaped()));
}

void FormatWidget::fillPanelForFormat()
{
    m_settingDlg->setParams(m_catalog.params(m_category, m_formatId, QString(), QString(), QString(), QString()));
}

void FormatWidget::adjustCustomizedEntry()
{
    const bool stored = ParserXML::formatCustom(m_formatId).has_value();
    if (stored && ui->m_cmbQuality->count() < 3)
        ui->m_cmbQuality->addItem(tr("Customized"));
    else if (!stored && ui->m_cmbQuality->count() > 2)
        ui->m_cmbQuality->removeItem(ui->m_cmbQuality->count() - 1);
}

void FormatWidget::applyPreset()
{
    const int index = presetIndex(m_quality);
    if (index < ui->m_cmbQuality->count()) {
        ui->m_cmbQuality->setCurrentIndex(index);
        ui->m_cmbQuality->clearShownText();
    } else {
        ui->m_cmbQuality->setShownText(presetName(m_quality));
    }
    m_settingDlg->setQuality(m_quality);
    setPresetLink(presetName(m_quality));
}

void FormatWidget::showPanel(bool show)
{
    if (show == m_panelShown)
        return;
    m_panelShown = show;
    if (show) {
        fillPanelForFormat();
        if (m_quality == VideoQualityCustomized)
            m_settingDlg->loadCustom();
        applyPreset();
    }
    // From wherever a running slide has got to.
    m_slide->stop();
    m_panelAnimation->setStartValue(m_settingDlg->geometry());
    m_panelAnimation->setEndValue(show ? kPanelIn : kPanelOut);
    m_gridAnimation->setStartValue(m_formatItemDlg->geometry());
    m_gridAnimation->setEndValue(show ? kGridShort : kGridLong);
    m_slide->start();
}

void FormatWidget::OnClickBtnSet(QString)
{
    showPanel(!m_panelShown);
}

void FormatWidget::OnClickFormatWgt()
{
    showPanel(false);
}

void FormatWidget::OnTypeBtn()
{
    auto *button = qobject_cast<FormatCategoryButton *>(sender());
    if (!button || button == m_highlighted)
        return;
    if (m_highlighted)
        m_highlighted->setHighlighted(false);
    m_highlighted = button;
    button->setHighlighted(true);
    m_formatItemDlg->fill(button->category());
    m_formatItemDlg->selectById(m_formatId);
    showPanel(false);
}

void FormatWidget::ItemPress(QString categories, QString itemID)
{
    m_category = categories;
    m_formatId = itemID;
    fillPanelForFormat();
    adjustCustomizedEntry();
    m_quality = VideoQualityHigh;
    applyPreset();
}

void FormatWidget::ItemChange(int index)
{
    m_quality = index == 0 ? VideoQualityHigh : index == 1 ? VideoQualitySmallSize : VideoQualityCustomized;
    applyPreset();
}

void FormatWidget::isSelCustomized(bool customized)
{
    if (customized) {
        m_quality = VideoQualityCustomized;
        if (ui->m_cmbQuality->count() < 3)
            ui->m_cmbQuality->addItem(tr("Customized"));
    } else {
        m_quality = VideoQualityHigh;
    }
    applyPreset();
}

void FormatWidget::valueChangeText(VideoQuality q)
{
    ui->m_cmbQuality->setShownText(presetName(q));
    setPresetLink(presetName(q));
}

void FormatWidget::setPreset(int quality)
{
    m_quality = quality >= VideoQualitySmallSize && quality <= VideoQualityCustomized ? quality
                                                                                      : VideoQualitySmallSize;
    applyPreset();
}

void FormatWidget::applyOutputFormat()
{
    m_settingDlg->apply();
}

void FormatWidget::OnBtnOk()
{
    accept();
    if (m_quality < VideoQualityCustomized)
        m_quality = m_settingDlg->shownQuality();
    storeSetting(QStringLiteral("VIDEO_QUALITY_ITEM"), QStringLiteral("quality_value"), QString::number(m_quality));
    m_settingDlg->save();
    selectFormat(m_category, m_formatId);
}

void FormatWidget::OnBtnCancel()
{
    reject();
}

void FormatWidget::reject()
{
    // A tile pressed but not confirmed must not stay the chooser's format
    // while OutputFormat and the main window still hold the stored one.
    if (m_category != m_storedCategory || m_formatId != m_storedFormatId) {
        m_category = m_storedCategory;
        m_formatId = m_storedFormatId;
        fillPanelForFormat();
        adjustCustomizedEntry();
    }
    QNinePointsImageDialog::reject();
}

void FormatWidget::selectFormat(const QString &category, const QString &id)
{
    m_category = category;
    m_formatId = id;
    m_storedCategory = category;
    m_storedFormatId = id;
    storeSetting(QStringLiteral("FormatSet"), QStringLiteral("Format_cate"), category);
    storeSetting(QStringLiteral("FormatSet"), QStringLiteral("Format_ID"), id);
    const QString title = m_catalog.baseInfo(category, id, QStringLiteral("title"));
    fillPanelForFormat();
    adjustCustomizedEntry();
    setDevFormat(title);
}

void FormatWidget::setDevFormat(QString DevName)
{
    m_deviceFormatName = DevName;
    emit sendDevFormatChange(DevName);
    emit settingChangeForFormat();
}

void FormatWidget::restoreStoredChoice()
{
    QString id = ParserXML::readSetting(QStringLiteral("FormatSet"), QStringLiteral("Format_ID"),
                                        QLatin1String(kDefaultFormatId));
    QString category = ParserXML::readSetting(QStringLiteral("FormatSet"), QStringLiteral("Format_cate"),
                                              QLatin1String(kDefaultCategory));
    if (m_catalog.baseInfo(category, id, QStringLiteral("title")).isEmpty()) {
        // A format the catalogue no longer holds would leave an empty choice
        // and an OutputFormat without a container.
        qDebug() << "FormatWidget: stored format" << category << id << "not in the catalogue";
        category = QLatin1String(kDefaultCategory);
        id = QLatin1String(kDefaultFormatId);
        if (m_catalog.baseInfo(category, id, QStringLiteral("title")).isEmpty()) {
            const QStringList categories = m_catalog.categories();
            for (const QString &c : categories) {
                const QList<FormatRecord> records = m_catalog.formats(c);
                if (!records.isEmpty()) {
                    category = c;
                    id = records.first().id;
                    break;
                }
            }
        }
    }
    selectFormat(category, id);
    const QString quality = ParserXML::readSetting(QStringLiteral("VIDEO_QUALITY_ITEM"),
                                                   QStringLiteral("quality_value"), QStringLiteral("0"));
    setPreset(quality.toInt());
    applyOutputFormat();
}

void FormatWidget::prepareToShow()
{
    showPanel(false);
    FormatCategoryButton *target = nullptr;
    for (FormatCategoryButton *b : std::as_const(m_categoryButtons))
        if (b->category() == m_category)
            target = b;
    if (!target && !m_categoryButtons.isEmpty())
        target = m_categoryButtons.first();
    if (!target)
        return;
    if (target == m_highlighted)
        m_formatItemDlg->selectById(m_formatId);
    else
        target->click();
}
