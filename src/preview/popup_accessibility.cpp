#include "preview/popup_accessibility.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QList>
#include <QWindow>

namespace popup_accessibility {

namespace {

// The open menus whose accessible parent is the application, in the order of
// their windows. A sub-menu's parent is its item in the menu above, where the
// tree already has it.
QList<QAccessibleInterface*> OpenMenus() {
    QList<QAccessibleInterface*> menus;
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->type() != Qt::Popup || !window->isVisible()) {
            continue;
        }
        QAccessibleInterface* root = window->accessibleRoot();
        if (root == nullptr || root->role() != QAccessible::PopupMenu) {
            continue;
        }
        const QAccessibleInterface* parent = root->parent();
        if (parent != nullptr && parent->object() == QCoreApplication::instance()) {
            menus << root;
        }
    }
    return menus;
}

class ApplicationWithMenus : public QAccessibleApplication {
public:
    int childCount() const override {
        return QAccessibleApplication::childCount() + static_cast<int>(OpenMenus().size());
    }

    QAccessibleInterface* child(int index) const override {
        const int windows = QAccessibleApplication::childCount();
        if (index < windows) {
            return QAccessibleApplication::child(index);
        }
        const QList<QAccessibleInterface*> menus = OpenMenus();
        return index - windows < menus.size() ? menus[index - windows] : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        const int window = QAccessibleApplication::indexOfChild(child);
        if (window >= 0 || child == nullptr) {
            return window;
        }
        const QList<QAccessibleInterface*> menus = OpenMenus();
        for (qsizetype i = 0; i < menus.size(); ++i) {
            if (menus[i]->object() == child->object()) {
                return QAccessibleApplication::childCount() + static_cast<int>(i);
            }
        }
        return -1;
    }
};

QAccessibleInterface* Factory(const QString& /*className*/, QObject* object) {
    if (object != nullptr && object == QCoreApplication::instance()) {
        return new ApplicationWithMenus; // Qt's accessibility cache owns it
    }
    return nullptr;
}

bool installed = false;

void InstallOnce() {
    if (!installed) {
        installed = true;
        QAccessible::installFactory(Factory);
    }
}

// Before the first window, and before the accessibility bridge asks for the
// application's object.
Q_COREAPP_STARTUP_FUNCTION(InstallOnce)

} // namespace

void Install() {
    InstallOnce();
}

} // namespace popup_accessibility
