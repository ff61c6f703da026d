#include "edit/QSubtitleOperateDlg.h"

#include "edit/EditPageStyle.h"
#include "base/AppPaths.h"
#include "widgets/QCustomComboBox.h"
#include "widgets/QTextImageButton.h"
#include "widgets/Theme.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

QLabel *iconLabel(const QString &image, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setPixmap(QPixmap(AppPaths::dataPath(image)).scaled(22, 22, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    l->setFixedSize(24, 24);
    return l;
}

QTextImageButton *textButton(const QString &text, const char *name, QWidget *parent)
{
    return EditPageStyle::button(text, name, parent);
}

} // namespace

QSubtitleOperateDlg::QSubtitleOperateDlg(QWidget *parent)
    : QWidget(parent)
    , m_cmbAudio(new QCustomComboBox(this))
    , m_cmbSubtitle(new QCustomComboBox(this))
    , m_labSub(new QLabel(tr("Subtitle:"), this))
    , m_editPath(new QLineEdit(this))
    , m_btnAdd(textButton(tr("Add"), "m_btnAdd", this))
    , m_btnDel(textButton(tr("Remove"), "m_btnDel", this))
    , m_btnFont(textButton(tr("Font"), "m_btnFont", this))
{
    m_cmbAudio->setObjectName("m_cmbAudio");
    m_cmbSubtitle->setObjectName("m_cmbSubtitle");
    m_labSub->setObjectName("m_labSub");
    m_editPath->setObjectName("m_editPath");
    for (QCustomComboBox *c : {m_cmbAudio, m_cmbSubtitle}) {
        c->loadImage(AppPaths::dataPath("/image/Common_bg/bg_combobox2.png"));
        c->setFixedSize(320, 26);
    }
    m_labSub->setFont(Theme::font(12));
    m_labSub->setStyleSheet(Theme::sheet("color: @muted;"));
    // The path line shows the chosen file; files come in through "Add" only.
    m_editPath->setReadOnly(true);
    m_editPath->setFont(Theme::font(12));
    m_editPath->setFixedHeight(24);
    m_editPath->setStyleSheet(Theme::sheet("QLineEdit { background: @field; color: white; border: 1px solid rgb(80,80,80); }"));

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(8, 12, 8, 8);
    root->setSpacing(12);
    auto *lists = new QHBoxLayout;
    lists->setSpacing(6);
    lists->addWidget(iconLabel("/image/videodisplay/main_icon_audio@2x.png", this));
    lists->addWidget(m_cmbAudio);
    lists->addSpacing(24);
    lists->addWidget(iconLabel("/image/videodisplay/main_icon_subtitle@2x.png", this));
    lists->addWidget(m_cmbSubtitle);
    lists->addStretch();
    root->addLayout(lists);
    auto *file = new QHBoxLayout;
    file->setSpacing(6);
    file->addWidget(m_labSub);
    file->addWidget(m_editPath, 1);
    file->addWidget(m_btnAdd);
    file->addWidget(m_btnDel);
    file->addWidget(m_btnFont);
    root->addLayout(file);
    root->addStretch();

    connect(m_cmbAudio, &QCustomComboBox::currentIndexChanged, this, &QSubtitleOperateDlg::onAudioChosen);
    connect(m_cmbSubtitle, &QCustomComboBox::currentIndexChanged, this, &QSubtitleOperateDlg::onSubtitleChosen);
    connect(m_btnAdd, &QPushButton::clicked, this, &QSubtitleOperateDlg::addSubtitleFile);
    connect(m_btnDel, &QPushButton::clicked, this, &QSubtitleOperateDlg::deleteSubtitleFile);
    connect(m_btnFont, &QPushButton::clicked, this, &QSubtitleOperateDlg::setSubtlFont);
}

// ---- Lists -------------------------------------------------------------------------

void QSubtitleOperateDlg::setAudioList(const QStringList &names, int index)
{
    m_filling = true;
    m_cmbAudio->clear();
    m_cmbAudio->addItems(names);
    m_cmbAudio->setCurrentIndex(index);
    m_filling = false;
}

QStringList QSubtitleOperateDlg::audioList() const
{
    QStringList names;
    for (int i = 0; i < m_cmbAudio->count(); ++i)
        names << m_cmbAudio->itemText(i);
    return names;
}

void QSubtitleOperateDlg::setSubtitleList(const QList<subltItemInfo> &entries, int index)
{
    m_entries = entries;
    fillSubtitleCombo(index);
}

void QSubtitleOperateDlg::fillSubtitleCombo(int index)
{
    m_filling = true;
    m_cmbSubtitle->clear();
    for (const subltItemInfo &e : m_entries)
        m_cmbSubtitle->addItem(QString::fromStdString(e.name));
    m_cmbSubtitle->setCurrentIndex(index);
    m_filling = false;
}

int QSubtitleOperateDlg::audioIndex() const { return qMax(0, m_cmbAudio->currentIndex()); }
int QSubtitleOperateDlg::subtitleIndex() const { return qMax(0, m_cmbSubtitle->currentIndex()); }

void QSubtitleOperateDlg::selectAudio(int index)
{
    m_filling = true;
    m_cmbAudio->setCurrentIndex(index);
    m_filling = false;
}

void QSubtitleOperateDlg::selectSubtitle(int index)
{
    m_filling = true;
    m_cmbSubtitle->setCurrentIndex(index);
    m_filling = false;
}

QString QSubtitleOperateDlg::subtitleFilePath() const
{
    const int i = m_cmbSubtitle->currentIndex();
    return i >= 0 && i < m_entries.size() ? QString::fromStdString(m_entries.at(i).path) : QString();
}

void QSubtitleOperateDlg::setPath(const QString &path)
{
    m_editPath->setText(path);
    m_editPath->setCursorPosition(0);
    m_editPath->setToolTip(path);
}

QString QSubtitleOperateDlg::path() const { return m_editPath->text(); }

void QSubtitleOperateDlg::onAudioChosen(int index)
{
    if (!m_filling && index >= 0)
        emit AudioSelChange(index);
}

void QSubtitleOperateDlg::onSubtitleChosen(int index)
{
    if (!m_filling && index >= 0)
        emit SubtlSelChange(index);
}

// ---- Subtitle files ------------------------------------------------------------------

QString QSubtitleOperateDlg::entryName(const QString &path)
{
    const QFileInfo info(path);
    return '(' + info.completeBaseName() + ")[" + info.suffix().toUpper() + ']';
}

void QSubtitleOperateDlg::addSubtitleFile()
{
    // The widget dialog: its filter ignores case, so movie.srt matches *.SRT.
    const QString file = QFileDialog::getOpenFileName(
        this, tr("Open Subtitle File"), "/home",
        tr("Subtitles (*.ASS *.SSA *.SRT *.SUB *.SMI *.SAMI *.SUP *.LRC *.WEBVTT)"), nullptr,
        QFileDialog::DontUseNativeDialog);
    if (!file.isEmpty())
        addSubtitlePath(file);
}

void QSubtitleOperateDlg::addSubtitlePath(const QString &path)
{
    const QString clean = QDir::fromNativeSeparators(path);
    if (clean.isEmpty())
        return;
    const std::string utf8 = clean.toStdString();
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).path == utf8) {
            selectSubtitle(i);
            emit SubtlSelChange(i);
            return;
        }
    }
    const QString name = entryName(clean);
    m_entries.append({name.toStdString(), utf8});
    m_filling = true;
    m_cmbSubtitle->addItem(name);
    m_filling = false;
    const int index = int(m_entries.size()) - 1;
    selectSubtitle(index);
    emit emitAddSubtl(name, clean);
    emit SubtlSelChange(index);
}

void QSubtitleOperateDlg::deleteSubtitleFile()
{
    // A chosen file leaves the list (and the row's); any other choice just
    // goes back to "[None]".
    const int index = m_cmbSubtitle->currentIndex();
    if (index > 0 && index < m_entries.size() && !m_entries.at(index).path.empty()) {
        m_entries.removeAt(index);
        fillSubtitleCombo(0);
        emit removeSubtl(index);
    } else {
        selectSubtitle(0);
    }
    emit SubtlSelChange(0);
}

// ---- Font ----------------------------------------------------------------------------

void QSubtitleOperateDlg::setSubtlFont()
{
    SubtitleStyleSettings style = m_styleSource ? m_styleSource() : SubtitleStyleSettings();
    QFont font(QString::fromStdString(style.fontFamily));
    font.setWeight(style.bold ? QFont::Bold : QFont::Normal);
    if (style.pointSize > 0)
        font.setPointSize(style.pointSize);
    font.setItalic(style.italic != 0);
    font.setUnderline(style.underline != 0);
    font.setStrikeOut(style.strikeOut != 0);

    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, this, tr("Font"), QFontDialog::DontUseNativeDialog);
    if (!ok)
        return;
    style.fontFamily = chosen.family().toStdString();
    style.bold = chosen.weight() > QFont::Normal ? 1 : 0;
    if (chosen.pointSize() > 0)
        style.pointSize = chosen.pointSize();
    style.italic = chosen.italic() ? 1 : 0;
    style.underline = chosen.underline() ? 1 : 0;
    style.strikeOut = chosen.strikeOut() ? 1 : 0;
    emit emitSubtlStyle(style);
}
