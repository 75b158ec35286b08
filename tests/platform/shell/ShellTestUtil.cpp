// The moc output of the helpers' objects.
#include "tests/platform/shell/ShellTestUtil.h"

#include "moc_ShellTestUtil.cpp"
