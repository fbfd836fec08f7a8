#pragma once

#include <QString>

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
};

// Creates a new instance of the window for kind. The window deletes itself
// when closed.
QWidget *createChildWindow(ChildWindow kind);
