// The long form of a path, the stand-in for asking the system for a path's long name.
#pragma once

#include <string>

// The absolute, lexically normal form of an existing path (no "." or ".." components, no
// doubled or trailing "/" except for "/" itself); the text unchanged when nothing exists
// there.
std::string LongPathForm(const std::string& path);
