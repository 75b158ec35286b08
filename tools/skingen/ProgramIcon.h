#pragma once
// The program's icon: a gold crescent over a night-blue disc in a gold ring,
// drawn for each size an icon file carries.
#include <QImage>
#include <QString>

#include <vector>

namespace skingen {

// The sizes the icon file holds, smallest first.
const std::vector<int>& programIconSizes();

// The icon at `size` x `size` pixels, transparent outside the disc.
QImage paintProgramIcon(int size);

// Writes an ICO file of the icon at every size; false when it cannot.
bool writeProgramIcon(const QString& file);

}  // namespace skingen
