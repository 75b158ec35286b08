#pragma once
// Where the program's files live: the program folder (beside the executable)
// and the per-user profile folder. Paths use "/" and carry no trailing
// delimiter.
#include "platform/rtl/SysUtils.h"

// The folder of the running program. The environment variable
// NOCTIVANE_PROGRAM_DIR, when set, names it instead (tests use it).
String ProgramDir();

// The per-user folder: $NOCTIVANE_PROFILE, else $XDG_DATA_HOME/noctivane,
// else ~/.local/share/noctivane. Created when missing.
String ProfileDir();

// Where a file that belongs beside the program is written: ProgramDir()/name
// when the program folder is writable, otherwise ProfileDir()/name (an
// installed program's folder is usually read-only).
String ProgramFileForWriting(const String& name);
