#pragma once

#include <QDialog>
#include <QPoint>
#include <QPointF>
#include <QString>

// The chrome that our frameless dialogs share: a skin picture for background
// and shape, and dragging by the title strip. A dialog calls applySkin() once
// its form is set up, since the picture decides its final size. Given the
// main window as parent, it is a dialog of that window to the desktop: kept
// above it and opened over its middle. It marks the focused control as the
// main window does, opens with the focus on its first field, and Enter opens
// its list boxes.
class SkinnedDialog : public QDialog
{
    Q_OBJECT

public:
    // What every dialog of ours does as it opens: over the middle of its
    // parent's window unless the user has dragged it elsewhere, with the
    // focus on its first field: the first control of the focus chain that
    // is not the title strip's close button, where Enter would end it
    // unsaved.
    static void centreOnParent(QDialog *dialog);
    static QWidget *firstField(const QDialog *dialog);

    enum SkinRefresh {
        // The picture is read again at every paint: one replaced on disk
        // shows at the next paint.
        RefreshOnPaint,
        // The picture is read when applySkin() is called and kept.
        ApplyOnce,
    };

protected:
    SkinnedDialog(const QString &picturePath, SkinRefresh refresh, QWidget *parent);

    void applySkin();

    // Whether the left press at `origin` drags the dialog while the pointer
    // is at `pointer`; the press itself asks with the pointer at the origin.
    // Window coordinates. By default the title strip alone drags.
    virtual bool dragAllowed(QPoint origin, QPointF pointer) const;

    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    const QString picturePath;
    const SkinRefresh refresh;
    QPoint dragOrigin;
    bool dragged = false;
};
