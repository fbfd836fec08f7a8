#pragma once

#include <QString>
#include <functional>

class QWidget;

// The maintenance windows the main window's actions open.
enum class ChildWindow {
    User,
    Group,
    Security,
    Customer,
    MarketParam,
    NewCustomer,
    Entitlement,
    LoginManagement,
    Audit,
};

// Creates a new instance of the window for kind. The window deletes itself
// when closed.
QWidget *createChildWindow(ChildWindow kind);

// An empty window with the object name and caption of kind, for windows not
// built yet and for tests of the main window alone.
QWidget *placeholderChildWindow(ChildWindow kind);

// How the main window makes its maintenance windows (createChildWindow
// unless it is given another).
using ChildWindowFactory = std::function<QWidget *(ChildWindow kind)>;
