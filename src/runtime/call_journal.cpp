#include "runtime/call_journal.h"

#include <new>

namespace {

std::vector<std::string>* installedJournal = nullptr;

}  // namespace

void SetCallJournal(std::vector<std::string>* journal) {
    installedJournal = journal;
}

void JournalCall(const char* object, const char* call, long count) noexcept {
    if (installedJournal == nullptr) {
        return;
    }
    // The calls journaled cannot fail, so without memory for an entry the
    // entry is dropped rather than thrown out of a release.
    try {
        std::string entry = std::string(object) + "." + call;
        if (count >= 0) {
            entry += ' ';
            entry += std::to_string(count);
        }
        installedJournal->push_back(std::move(entry));
    } catch (const std::bad_alloc&) {
    }
}
