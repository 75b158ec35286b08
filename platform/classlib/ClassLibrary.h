#pragma once
// The start-up of the whole class library: every unit's registrations (its
// classes for form streaming, its idents), in link order.

void InitializeClassLibrary();
