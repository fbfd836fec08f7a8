#pragma once

class QLineEdit;

// Letters typed into edit are turned to upper case as they arrive.
void forceUpperCase(QLineEdit *edit);
