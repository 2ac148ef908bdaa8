#pragma once
// Edits typed into the panel's fields but not applied yet: the field and its
// group's Apply button are marked; Return in a field applies its group, Escape
// puts back what is shown. A spin box turns with the wheel only while it has
// the focus, so that scrolling the panel never changes a setting.

#include <QObject>

#include <functional>
#include <vector>

class QPushButton;
class QWidget;

class PendingEdits : public QObject
{
public:
    // `restore` writes back what is shown into every field not marked.
    PendingEdits(QObject* parent, std::function<void()> restore);

    // Fields applied together by `apply`. The user's edits of line edits and
    // spin boxes mark them from then on.
    void addGroup(const std::vector<QWidget*>& fields, QPushButton* apply);
    // A field of a group was edited by the user: it and its Apply button are marked.
    void edited(QWidget* field);
    // A field shows what is applied (or asked for): its mark goes, and its
    // group's with its last one.
    void unmark(QWidget* field);
    // Every field of the group of `apply` unmarked.
    void unmarkGroup(QPushButton* apply);
    // Every group put back to what is shown (a Cancel).
    void restoreAll();
    bool isPending(const QWidget* field) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Group
    {
        std::vector<QWidget*> fields;
        QPushButton* apply;
        std::vector<QWidget*> marked;
    };
    Group* groupOf(const QObject* field);

    std::vector<Group> groups;
    std::function<void()> restore;
};
