// The start-up sequence: refuse a second copy, show the splash screen, back
// up, compact and open the layout database with its forms, then show the
// main menu.
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

// The step of the start-up on forms.vsk, after BackUpAndCompact: rolls back a
// write that a run left half done (in both files, a transaction is undone in
// both), then copies forms.vsk to formsbak.vsk when it changed since that
// copy was taken, under a temporary name moved over formsbak.vsk only once it
// is complete and holds the form table; the copy keeps forms.vsk's
// permission bits. forms.vsk is never compacted: the start does not grow with
// the forms. On a failure it removes the copy it began and throws.
void BackUpForms();

// Tests look at a named step, or force a failure there by throwing: "backup"
// (before anything is copied) and "compacted" (after the compaction, before
// data.vsk is replaced).
void SetStartUpHook(std::function<void(const char* step)> hook);
