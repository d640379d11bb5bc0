// The start-up sequence: refuse a second copy, show the splash screen, back
// up, compact and open the layout database, then show the main menu.
#pragma once

#include <functional>

enum class StartResult {
    Running,    // the main menu is on screen; run the event loop
    SecondCopy, // another copy holds the application folder: end silently
    Failed      // the failure message was shown: end
};

StartResult StartUp();

// Steps of the start-up on the current directory: copies data.vsk to
// databak.vsk and compacts it into better.vsk, then puts the compacted file in
// place of data.vsk in one atomic rename, so that a complete data.vsk exists
// at every instant and the last good backup is never replaced by a bad one.
// The backup is replaced only once the compaction holds the layout tables.
// Both files keep the permission bits of data.vsk. On a failure it removes
// the files it created and throws.
void BackUpAndCompact();

// Tests look at a named step, or force a failure there by throwing: "backup"
// (before anything is copied) and "compacted" (after the compaction, before
// data.vsk is replaced).
void SetStartUpHook(std::function<void(const char* step)> hook);
