#pragma once
// The one place that decides which folder the content comes from. A parent's own content lives
// in the user's data folder, because with the package installed the folder beside the program
// belongs to root; once its images/ folder holds a file, Tappy takes images/, sounds/ and
// Tappy.map from there, and otherwise from beside the program as always. Folders end in '/'.
#include "platform/cstring.h"

// $XDG_DATA_HOME/tappy/, or $HOME/.local/share/tappy/ when XDG_DATA_HOME is unset, empty or
// relative (the XDG rules ignore a relative one); empty when neither names a folder.
CString UserContentDir(const char* xdgDataHome, const char* home);

// userHasPictures: the user folder's images/ holds at least one file.
CString ChooseContentDir(const CString& programDir, const CString& userDir, bool userHasPictures);

// True when dir + "images/" lists at least one entry that is not a folder.
bool HasPictureFiles(const CString& dir);

// The rule above with this process's environment and files.
CString FindContentDir(const CString& programDir);
