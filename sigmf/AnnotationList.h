#pragma once
// A recording's annotations while they are edited: each entry keeps an id of its
// own across edits, and the entries stay sorted by their first sample (ties in
// the order they were read or made), the order a save writes them in.

#include "io/RecordingContents.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class AnnotationList
{
public:
    struct Entry
    {
        uint64_t id = 0;
        RecordingAnnotation annotation;
    };

    // The annotations of a newly opened recording, ids given in their order.
    void reset(const std::vector<RecordingAnnotation>& annotations);
    const std::vector<Entry>& entries() const { return sorted; }
    std::size_t size() const { return sorted.size(); }
    std::optional<std::size_t> indexOf(uint64_t id) const;
    // An id no entry has had yet, for a new annotation.
    uint64_t newId() { return ++lastId; }
    // Takes out the entries with the ids of `removed` and puts in `added`, each
    // with its own id (an edit removes the old entry and adds the new one under
    // the same id).
    void change(const std::vector<Entry>& removed, const std::vector<Entry>& added);
    // The annotations in order, as the recording holds them.
    std::vector<RecordingAnnotation> annotations() const;

private:
    std::vector<Entry> sorted;
    uint64_t lastId = 0;
};
