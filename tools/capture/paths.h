// The capture tool's one way of making temporary files, beside the paths
// every program reads alike.
#pragma once

#include <string>

#include "foundation/paths.h"

// The folder for temporary files: $TMPDIR, else /tmp.
std::string TempFolder();
// Creates a fresh, empty file from a mkstemp pattern (ending in XXXXXX),
// with the permissions the umask gives new files; its name, or empty with
// the reason in *error.
std::string MakeTempFile(const std::string& pattern, std::string* error);
