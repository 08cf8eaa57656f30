#include "accessiblecontrols.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QSlider>

namespace {

const char kReadAsPercent[] = "quilloraReadAsPercent";
constexpr double kPercent = 100.0;

// Qt's own list box interface but for its name: the list of entries is its
// first child, an editable box's line its second.
class LabelledComboBox : public QAccessibleWidget {
public:
    explicit LabelledComboBox(QComboBox *box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QComboBox *box() const { return static_cast<QComboBox *>(object()); }

    int childCount() const override { return box()->isEditable() ? 2 : 1; }

    QAccessibleInterface *child(int index) const override {
        QObject *child = nullptr;
        if (index == 0) {
            child = box()->view();
        } else if (index == 1 && box()->isEditable()) {
            child = box()->lineEdit();
            nameLine();
        }
        return child ? QAccessible::queryAccessibleInterface(child) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override {
        if (!child)
            return -1;
        if (child->object() == box()->view())
            return 0;
        if (box()->isEditable() && child->object() == box()->lineEdit())
            return 1;
        return -1;
    }

    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    // The box is its line's focus proxy, so the line never has the focus
    // itself; a reader still wants to hear it.
    QAccessibleInterface *focusChild() const override {
        return box()->isEditable() ? child(1) : nullptr;
    }

    QString text(QAccessible::Text kind) const override {
        if (kind != QAccessible::Value)
            return QAccessibleWidget::text(kind);
        return box()->isEditable() ? box()->lineEdit()->text() : box()->currentText();
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = box()->view() && box()->view()->isVisible();
        state.editable = box()->isEditable();
        return state;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }

    void doAction(const QString &name) override {
        if (name != showMenuAction() && name != pressAction())
            return;
        if (box()->view() && box()->view()->isVisible())
            box()->hidePopup();
        else
            box()->showPopup();
    }

    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    // What is typed there is the box's value: the line has its name. Every
    // naming tells a reader the name changed, and a reader asks for the
    // line on each look at the box: it is named only when the name differs.
    void nameLine() const {
        const QString name = QAccessibleWidget::text(QAccessible::Name);
        if (box()->lineEdit()->accessibleName() != name)
            box()->lineEdit()->setAccessibleName(name);
    }
};

class PercentSlider : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit PercentSlider(QSlider *slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    QSlider *slider() const { return static_cast<QSlider *>(object()); }

    void *interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        if (kind != QAccessible::Value)
            return QAccessibleWidget::text(kind);
        return QString::number(percent()) + QLatin1Char('%');
    }

    QVariant currentValue() const override { return percent(); }
    void setCurrentValue(const QVariant &value) override {
        const int span = slider()->maximum() - slider()->minimum();
        slider()->setValue(slider()->minimum() + qRound(value.toDouble() * span / kPercent));
    }
    QVariant maximumValue() const override { return int(kPercent); }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    int percent() const {
        const int span = slider()->maximum() - slider()->minimum();
        return span <= 0 ? 0 : qRound((slider()->value() - slider()->minimum()) * kPercent / span);
    }
};

// Qt's own dialogs name their boxes in their own way, which a reader knows.
bool inQtDialog(const QWidget *widget) {
    for (; widget; widget = widget->parentWidget()) {
        if (qobject_cast<const QFileDialog *>(widget) ||
            qobject_cast<const QColorDialog *>(widget) ||
            qobject_cast<const QFontDialog *>(widget) || qobject_cast<const QInputDialog *>(widget))
            return true;
    }
    return false;
}

QAccessibleInterface *factory(const QString &className, QObject *object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("QComboBox") && !inQtDialog(static_cast<QWidget *>(object)))
        return new LabelledComboBox(static_cast<QComboBox *>(object));
    if (className == QLatin1String("QSlider") && object->property(kReadAsPercent).toBool())
        return new PercentSlider(static_cast<QSlider *>(object));
    return nullptr;
}

} // namespace

namespace AccessibleControls {

void install() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(factory);
}

void readAsPercent(QSlider *slider) {
    slider->setProperty(kReadAsPercent, true);
    // One that Qt made before, as the slider was set up, makes way for ours.
    QAccessibleInterface *made = QAccessible::queryAccessibleInterface(slider);
    if (made && !dynamic_cast<PercentSlider *>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

} // namespace AccessibleControls
