#pragma once
// Label for a file name that elides itself and can be renamed in place.
//
// The text is drawn in "Tahoma" 13 px with word wrapping; when it does not
// fit the label, characters are removed from its end one at a time and "..."
// is appended until it does (a word too long for one line counts as not
// fitting, so long names without spaces elide too instead of being clipped).
//
// Rename: startRename() lays a line editor over the label holding the name
// without its extension (everything before the last "."), all selected.
// Every edit is checked: one containing / : * " < > | or a backslash puts the
// editor back to the last valid text. Return or leaving the editor ends the
// rename (RenameOK); when the base name changed to something that is not
// blank, the full text becomes the new base name plus the old extension and
// emitChangeName() is emitted. Escape ends it without a change.

#include <QLabel>

class QLineEdit;

class RetractLabel : public QLabel
{
    Q_OBJECT
public:
    explicit RetractLabel(QWidget *parent = nullptr);

    void setFullText(const QString &text);
    QString fullText() const { return m_fullText; }

    void startRename();
    bool isRenaming() const { return m_renaming; }
    // The editor of the rename in progress or of the last one; null before.
    QLineEdit *renameEditor() const { return m_editor; }

    // `text` cut from its end and ended with "..." until `fits` accepts it;
    // `text` itself when it already fits.
    template <typename Fits>
    static QString elide(const QString &text, Fits fits);

    // The part of `name` before its last ".", and the rest from that ".".
    static QString baseName(const QString &name);
    static QString extension(const QString &name);
    // False for a text with a character a file name cannot hold.
    static bool isValidName(const QString &text);

signals:
    void emitChangeName();

public slots:
    void RenameOK();
    void NameChange(const QString &text);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refreshElided();
    bool fits(const QString &text) const;
    void finishRename(bool accept);

    QString m_fullText;
    QLineEdit *m_editor = nullptr;
    QString m_lastValid;
    QString m_baseAtStart;
    bool m_renaming = false;
};

template <typename Fits>
QString RetractLabel::elide(const QString &text, Fits fits)
{
    if (fits(text))
        return text;
    QString cut = text;
    while (!cut.isEmpty()) {
        cut.chop(1);
        // Never split a surrogate pair.
        if (!cut.isEmpty() && cut.back().isHighSurrogate())
            cut.chop(1);
        const QString candidate = cut + QStringLiteral("...");
        if (fits(candidate))
            return candidate;
    }
    return QStringLiteral("...");
}
