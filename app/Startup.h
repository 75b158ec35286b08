#pragma once
// The start-up and close-down of every unit of the program, in link order:
// the class library, the platform modules the browser units load, then the
// program's own units. The main block and the tests of the forms share it.

// Starts every unit. Needs the Qt application.
void InitializeProgramUnits();
// Frees the application object with its forms (last created first, while
// every unit they use is still there), then closes the units down in reverse
// order.
void FinalizeProgramUnits();
