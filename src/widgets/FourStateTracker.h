#pragma once
// The four-state behaviour shared by every image-skinned control
// (QImageButton, QTextImageButton, QCustomImageWidget and their subclasses).
//
// A tracker installs itself as an event filter on its widget and follows it:
// mouse enters -> Hover (pointing-hand cursor), leaves -> Normal, left button
// pressed -> Pressed, released -> Normal; a disabled widget is Disabled whatever
// the mouse does, and enabling it again gives Normal. Every change repaints the
// widget. The filter never consumes an event, so the widget's own handling
// (clicked() of a button, for example) is untouched.
//
// The skin images hold the four states as equal frames side by side;
// drawFrame() paints the frame of a state.

#include <QObject>
#include <QPixmap>

class QPainter;
class QString;
class QWidget;

class FourStateTracker : public QObject
{
    Q_OBJECT
public:
    enum State { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };

    // Owned by `widget`.
    explicit FourStateTracker(QWidget *widget);

    int state() const;

    // Width of one frame: a quarter of the image width, truncated.
    static int frameWidth(const QPixmap &strip);

    // Loads a four-frame strip into `strip` (cleared on failure) and, on
    // success, fixes `button` at one frame's size. Repaints it either way.
    static bool loadStrip(QWidget *button, QPixmap &strip, const QString &path);

    // Paints frame `state` of `strip` over `target`; when the strip is missing
    // or too narrow, paints a flat fill instead so the control stays visible.
    static void drawFrame(QPainter &painter, const QRect &target, const QPixmap &strip, int state);

    // True while `widget` holds the focus and its window is being worked
    // with the keyboard (a click gives no ring, Tab does).
    static bool showsFocusRing(const QWidget *widget);
    // A ring just inside `target`, in the skin's selection colour.
    static void drawFocusRing(QPainter &painter, const QRect &target);

    // Makes an image-skinned button reachable with Tab (not by clicking, so
    // the mouse never moves the focus) and keeps it from taking Return in a
    // dialog: Return belongs to the dialog's default button.
    static void makeKeyboardReachable(QWidget *button);

signals:
    void stateChanged(int state);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setState(int state);

    QWidget *m_widget;
    int m_state = Normal;
};
