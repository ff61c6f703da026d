#include "widgets/RetractLabel.h"
#include "widgets/Theme.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>

RetractLabel::RetractLabel(QWidget *parent) : QLabel(parent)
{
    QFont f = Theme::font(13);
    setFont(f);
    setWordWrap(true);
}

void RetractLabel::setFullText(const QString &text)
{
    m_fullText = text;
    setToolTip(text);
    refreshElided();
}

bool RetractLabel::fits(const QString &text) const
{
    const QRect area = contentsRect();
    const QRect needed = fontMetrics().boundingRect(QRect(0, 0, area.width(), 1 << 20),
                                                    int(alignment()) | Qt::TextWordWrap, text);
    return needed.height() <= area.height() && needed.width() <= area.width();
}

void RetractLabel::refreshElided()
{
    // Before the first layout the label has no size to fit into.
    if (contentsRect().isEmpty()) {
        setText(m_fullText);
        return;
    }
    setText(elide(m_fullText, [this](const QString &t) { return fits(t); }));
}

void RetractLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    refreshElided();
    if (m_editor && m_renaming)
        m_editor->setGeometry(rect());
}

QString RetractLabel::baseName(const QString &name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

QString RetractLabel::extension(const QString &name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

bool RetractLabel::isValidName(const QString &text)
{
    static const QRegularExpression forbidden(QStringLiteral("[/:*\"<>|]"));
    return !text.contains(forbidden) && !text.contains(QLatin1Char('\\'));
}

void RetractLabel::startRename()
{
    if (!m_editor) {
        m_editor = new QLineEdit(this);
        m_editor->setFont(font());
        m_editor->installEventFilter(this);
        connect(m_editor, &QLineEdit::textEdited, this, &RetractLabel::NameChange);
        connect(m_editor, &QLineEdit::editingFinished, this, &RetractLabel::RenameOK);
    }
    m_baseAtStart = baseName(m_fullText);
    m_lastValid = m_baseAtStart;
    m_renaming = true;
    m_editor->setText(m_baseAtStart);
    m_editor->setGeometry(rect());
    m_editor->show();
    m_editor->raise();
    m_editor->selectAll();
    m_editor->setFocus(Qt::OtherFocusReason);
}

void RetractLabel::NameChange(const QString &text)
{
    if (!m_editor)
        return;
    if (isValidName(text)) {
        m_lastValid = text;
        return;
    }
    const int cursor = m_editor->cursorPosition();
    m_editor->setText(m_lastValid);
    m_editor->setCursorPosition(qBound(0, cursor - (text.size() - m_lastValid.size()), int(m_lastValid.size())));
}

void RetractLabel::RenameOK()
{
    finishRename(true);
}

void RetractLabel::finishRename(bool accept)
{
    // Return and the focus loss that hiding the editor causes both end up here.
    if (!m_renaming || !m_editor)
        return;
    m_renaming = false;
    m_editor->hide();

    const QString typed = m_editor->text();
    const QString base = isValidName(typed) ? typed : m_lastValid;
    if (!accept || base == m_baseAtStart || base.trimmed().isEmpty())
        return;
    setFullText(base + extension(m_fullText));
    emit emitChangeName();
}

bool RetractLabel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_editor) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            finishRename(false);
            return true;
        }
        // editingFinished() is not emitted when focus leaves an unchanged
        // editor, which would leave it open.
        if (event->type() == QEvent::FocusOut)
            finishRename(true);
    }
    return QLabel::eventFilter(watched, event);
}
