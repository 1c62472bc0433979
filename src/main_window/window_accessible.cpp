#include "main_window/window_accessible.h"

#include "main_window/main_window.h"

#include <QAccessibleWidget>
#include <QFrame>

namespace kv {

namespace {

class WindowAccessible : public QAccessibleWidget {
  public:
    explicit WindowAccessible(MainWindow* window)
        : QAccessibleWidget(window, QAccessible::Window) {}

    int childCount() const override { return int(spoken().size()); }
    QAccessibleInterface* child(int index) const override {
        return QAccessible::queryAccessibleInterface(spoken().value(index));
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child ? int(spoken().indexOf(child->object())) : -1;
    }

  private:
    // The controls a reader meets, in the window's own order: all but the line.
    QList<QObject*> spoken() const {
        const QFrame* line = static_cast<MainWindow*>(widget())->Line1;
        QList<QObject*> controls;
        for (int i = 0; i < QAccessibleWidget::childCount(); ++i)
            if (QObject* control = QAccessibleWidget::child(i)->object(); control != line)
                controls << control;
        return controls;
    }
};

} // namespace

QAccessibleInterface* windowAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("kv::MainWindow") && object && object->isWidgetType())
        return new WindowAccessible(static_cast<MainWindow*>(object));
    return nullptr;
}

} // namespace kv
