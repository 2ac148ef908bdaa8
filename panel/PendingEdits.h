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
    explicit PendingEdits(QObject* parent);

    // Fields applied together by `apply`; `restore` writes back what is shown.
    // The user's edits of line edits and spin boxes mark them from then on.
    void addGroup(const std::vector<QWidget*>& fields, QPushButton* apply,
                  std::function<void()> restore);
    // A field of a group was edited by the user: it and its Apply button are marked.
    void edited(QWidget* field);
    // The group of `apply` shows what is applied: its marks go.
    void applied(QPushButton* apply);
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
        std::function<void()> restore;
        std::vector<QWidget*> marked;
    };
    Group* groupOf(const QObject* field);
    void unmark(Group& group);

    std::vector<Group> groups;
};
