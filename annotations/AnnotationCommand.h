#pragma once
// One change of the annotation list as the undo stack keeps it: the entries it
// takes out and those it puts in (an edit takes out the old entry and puts in
// the new one under the same id). Undo swaps the two.

#include "sigmf/AnnotationList.h"

#include <QUndoCommand>

#include <cstdint>
#include <functional>
#include <vector>

class AnnotationCommand : public QUndoCommand
{
public:
    // Called after each change with the ids of the entries now put in.
    using Changed = std::function<void(const std::vector<uint64_t>& added)>;

    AnnotationCommand(const QString& text, AnnotationList* list,
                      std::vector<AnnotationList::Entry> removed,
                      std::vector<AnnotationList::Entry> added, Changed changed);

    void redo() override;
    void undo() override;

private:
    void apply(const std::vector<AnnotationList::Entry>& out,
               const std::vector<AnnotationList::Entry>& in);

    AnnotationList* list;
    std::vector<AnnotationList::Entry> removed;
    std::vector<AnnotationList::Entry> added;
    Changed changed;
};
