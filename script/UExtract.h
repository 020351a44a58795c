// The extraction run (/X): the payload written below the current directory, without any window.
#pragma once

// Writes every directory and payload file of the script table below the current directory.
// Results are ignored: nothing is reported, logged or shown.
void ExtractAll();
