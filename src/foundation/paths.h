// The one reading of file paths every program shares: the folder a path is
// in, its last component, its extension and its stem, and a path made
// absolute; and the one way of making temporary files. Plain string work,
// but for Absolute and the temporary files.
#pragma once

#include <string>

// The folder holding path: "." when the path has no slash, "/" for a name
// right under the root.
std::string FolderOf(const std::string& path);
// The last component of path (all of it when there is no slash).
std::string BaseName(const std::string& path);
// The last component's extension in lower case, without the dot; empty for a
// folder-like name (no dot, a leading dot only, or a trailing slash).
std::string ExtensionOf(const std::string& path);
// The last component without its extension ("song" for "dir/song.flac").
std::string StemOf(const std::string& path);
// path joined to the working directory unless it starts with a slash.
std::string Absolute(const std::string& path);
// The folder for temporary files: $TMPDIR, else /tmp.
std::string TempFolder();
// Creates a fresh, empty file from a mkstemp pattern (ending in XXXXXX),
// with the permissions the umask gives new files; its name, or empty with
// the reason in *error.
std::string MakeTempFile(const std::string& pattern, std::string* error);
