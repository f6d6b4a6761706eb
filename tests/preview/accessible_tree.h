#pragma once
// What an assistive tool sees: the tree of accessible objects from the
// application down, walked the way a screen reader walks it (children only,
// never Qt's object tree), and a way to look at a menu while it runs.
#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

namespace accessible_tree {

inline QAccessibleInterface* Of(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

inline QAccessibleInterface* Application() {
    return Of(qApp);
}

inline QString Name(const QAccessibleInterface* node) {
    return node ? node->text(QAccessible::Name) : QString();
}

inline QString Description(const QAccessibleInterface* node) {
    return node ? node->text(QAccessible::Description) : QString();
}

// `root` and everything below it, depth first; deep enough for menus in
// sub-menus in windows.
inline std::vector<QAccessibleInterface*> Descendants(QAccessibleInterface* root, int depth = 8) {
    std::vector<QAccessibleInterface*> out;
    if (root == nullptr) {
        return out;
    }
    out.push_back(root);
    if (depth == 0) {
        return out;
    }
    for (int i = 0; i < root->childCount(); ++i) {
        const std::vector<QAccessibleInterface*> below = Descendants(root->child(i), depth - 1);
        out.insert(out.end(), below.begin(), below.end());
    }
    return out;
}

// The first node below `root` with `role` and `name`, or null.
inline QAccessibleInterface* Find(QAccessibleInterface* root, QAccessible::Role role,
                                  const QString& name) {
    for (QAccessibleInterface* node : Descendants(root)) {
        if (node->role() == role && Name(node) == name) {
            return node;
        }
    }
    return nullptr;
}

// The names of the menu items below `root`, in tree order.
inline QStringList MenuItemNames(QAccessibleInterface* root) {
    QStringList names;
    for (QAccessibleInterface* node : Descendants(root)) {
        if (node->role() == QAccessible::MenuItem) {
            names << Name(node);
        }
    }
    return names;
}

// Calls `open`, which runs a menu modally, and `check` with the menu once it
// is up; then closes the menu so that `open` returns. False when no menu came
// up.
inline bool WhileMenuOpen(const std::function<void()>& open,
                          const std::function<void(QMenu&)>& check) {
    bool seen = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr || seen) {
            return;
        }
        seen = true;
        check(*menu); // a failed ASSERT returns here, and the menu still closes
        menu->close();
    });
    poll.start();
    open();
    return seen;
}

} // namespace accessible_tree
