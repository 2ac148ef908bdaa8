// The list changed one way or the other, and whoever shows it told.

#include "annotations/AnnotationCommand.h"

AnnotationCommand::AnnotationCommand(const QString& text, AnnotationList* list,
                                     std::vector<AnnotationList::Entry> removed,
                                     std::vector<AnnotationList::Entry> added, Changed changed)
    : QUndoCommand(text), list(list), removed(std::move(removed)), added(std::move(added)),
      changed(std::move(changed))
{
}

void AnnotationCommand::redo()
{
    apply(removed, added);
}

void AnnotationCommand::undo()
{
    apply(added, removed);
}

void AnnotationCommand::apply(const std::vector<AnnotationList::Entry>& out,
                              const std::vector<AnnotationList::Entry>& in)
{
    list->change(out, in);
    std::vector<uint64_t> ids;
    ids.reserve(in.size());
    for (const AnnotationList::Entry& entry : in)
        ids.push_back(entry.id);
    if (changed)
        changed(ids);
}
