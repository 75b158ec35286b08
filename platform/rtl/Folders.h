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

// With NOCTIVANE_PROFILE set, the profile holds everything the process
// writes: ProfileDir()/Home becomes the process's home folder (HOME), and the
// data, config, cache and state folders that lay under the old home move with
// it, so that the libraries under the program that keep files in the home
// (the engine's certificate store among them) keep them in the profile.
// Without NOCTIVANE_PROFILE nothing changes. It changes the environment: call
// it first in main, before any thread starts.
void KeepHomeInsideProfile();

// Where a file that belongs beside the program is written: ProgramDir()/name
// when the program folder is writable, otherwise ProfileDir()/name (an
// installed program's folder is usually read-only).
String ProgramFileForWriting(const String& name);
