#pragma once

// Registers the shell's pictures and icons (":/MAINICON", ":/SPLASH");
// a static library's resources are registered explicitly.
void initShellResources();

class QIcon;
// The console's own icon, shown by its windows.
QIcon consoleIcon();
