#pragma once
// File steps of the content tool that never lose a parent's file: a copy or a new sound is
// written to a temporary file in the content folder and then renamed into place, and the rename
// never replaces a file that is there. Nothing is ever deleted but the tool's own temporary.
#include <string>
#include <vector>

// Makes the folder and its parents as needed; false with a message in *error otherwise.
bool MakeFolders(const std::string& path, std::string* error);

// The names in a folder that are not "." or "..", sorted; empty when it cannot be listed.
std::vector<std::string> ListFolder(const std::string& path);

bool IsFolder(const std::string& path);
bool Exists(const std::string& path); // anything at all, a dangling link included

// A temporary file in tempDir, open for writing; its path in *path. -1 on failure.
int MakeTemporary(const std::string& tempDir, std::string* path);

// Renames temp to target unless something is at target; the temporary goes either way.
bool PlaceNoReplace(const std::string& temp, const std::string& target, std::string* error);

// Copies a regular file (links followed) to target through a temporary in tempDir.
bool CopyNoReplace(const std::string& source, const std::string& target, const std::string& tempDir,
                   std::string* error);
