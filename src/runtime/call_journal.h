// The call journal: one ordered record, across the runtimes, of the calls
// that end platform objects' lives (releases, unacquiring, unregistering a
// window class). A test installs a journal to check the order in which a
// program tears its platform objects down; without one nothing is recorded
// and a call costs one test of a pointer.
#pragma once

#include <string>
#include <vector>

// Installs journal as the receiver of every entry; nullptr ends recording.
void SetCallJournal(std::vector<std::string>* journal);

// Appends "object.call" to the journal, followed by " count" when count is
// not negative (the references left after a release). Releases journal
// themselves as they return, so the releases that one causes (an object
// letting go of its device) come before it.
void JournalCall(const char* object, const char* call, long count = -1) noexcept;
