#pragma once
// Open menus for assistive tools. Qt gives a menu that is not a sub-menu the
// application as its accessible parent, but leaves popup windows out of the
// application's children: a tool that walks the tree from the application
// never reaches the items of an open menu and hears of them only through focus
// events. With this installed, the application's accessible object also lists
// every open menu that names it as parent, after its other windows.
namespace popup_accessibility {

// Installs that application object. It only takes effect before anything
// asks for the application's accessible object, so every program that links
// this file also installs it while its QApplication starts; calling it (the
// preview does) links the file in. A second call does nothing.
void Install();

} // namespace popup_accessibility
