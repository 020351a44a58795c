// The installation folder the user chose: whether the installation may go there, and if not,
// what the user is told. Plain rules without a window, shared by the directory page and any
// run without one.
#pragma once

#include <cstddef>
#include <string>

enum class TDirVerdict {
    Accepted,      // a new folder, an empty folder, or the folder of a previous installation
    Empty,         // nothing typed
    Relative,      // not a full path that begins with a drive letter
    Root,          // the root of a drive
    Network,       // a share (\\server\share\x) or a device path (\\?\..., \\.\..., NUL)
    TooLong,       // no room below it for the longest path an installation writes
    BadCharacter,  // ";", a character names cannot hold, or a name ending in a dot or blank
    Protected,     // Windows, its system folder, Program Files, a user profile or its folders
    Link,          // the folder or a folder above it is a link to somewhere else
    NotAFolder,    // an existing file
    NotEmpty,      // an existing folder with other files and no uninstall log of this product
};

// Checks the folder as typed (one trailing separator allowed). normalized receives the folder
// made absolute and normalised, without a trailing separator, whenever the text is a full
// local path (else empty). Reads the disk, never changes it.
TDirVerdict CheckInstallDir(const std::wstring& typed, std::wstring& normalized);
// The message for a refusal: what is wrong and what to choose instead. Empty for Accepted.
std::wstring DirRefusalText(TDirVerdict verdict);

// The longest path, relative to the installation folder, that an installation writes (taken
// from the script item table).
size_t LongestInstalledPath();
// The longest installation folder that leaves room for LongestInstalledPath below it.
size_t MaxInstallDirLength();
