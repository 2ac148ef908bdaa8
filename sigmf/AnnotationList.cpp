// Entries kept sorted by (first sample, id).

#include "sigmf/AnnotationList.h"

#include <algorithm>
#include <unordered_set>

namespace {

bool before(const AnnotationList::Entry& a, const AnnotationList::Entry& b)
{
    if (a.annotation.sampleStart != b.annotation.sampleStart)
        return a.annotation.sampleStart < b.annotation.sampleStart;
    return a.id < b.id;
}

} // namespace

void AnnotationList::reset(const std::vector<RecordingAnnotation>& annotations)
{
    sorted.clear();
    lastId = 0;
    for (const RecordingAnnotation& annotation : annotations)
        sorted.push_back({newId(), annotation});
    std::sort(sorted.begin(), sorted.end(), before);
}

std::optional<std::size_t> AnnotationList::indexOf(uint64_t id) const
{
    const auto found = std::find_if(sorted.begin(), sorted.end(),
                                    [id](const Entry& entry) { return entry.id == id; });
    if (found == sorted.end())
        return std::nullopt;
    return static_cast<std::size_t>(found - sorted.begin());
}

void AnnotationList::change(const std::vector<Entry>& removed, const std::vector<Entry>& added)
{
    // One pass whatever the number of entries changed at once (a delete of
    // thousands of selected rows, or its undo).
    std::unordered_set<uint64_t> gone;
    for (const Entry& entry : removed)
        gone.insert(entry.id);
    std::erase_if(sorted, [&gone](const Entry& entry) { return gone.count(entry.id) != 0; });
    const auto middle = static_cast<std::ptrdiff_t>(sorted.size());
    for (const Entry& entry : added) {
        sorted.push_back(entry);
        lastId = std::max(lastId, entry.id);
    }
    std::sort(sorted.begin() + middle, sorted.end(), before);
    std::inplace_merge(sorted.begin(), sorted.begin() + middle, sorted.end(), before);
}

std::vector<RecordingAnnotation> AnnotationList::annotations() const
{
    std::vector<RecordingAnnotation> result;
    result.reserve(sorted.size());
    for (const Entry& entry : sorted)
        result.push_back(entry.annotation);
    return result;
}
