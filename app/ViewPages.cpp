// A page of views: a column of its widgets.

#include "app/ViewPages.h"

#include <QString>
#include <QVBoxLayout>
#include <QWidget>

QWidget* viewPage(const QList<QWidget*>& widgets, const QString& name)
{
    auto* page = new QWidget;
    page->setObjectName(name);
    auto* pageLayout = new QVBoxLayout(page);
    for (QWidget* widget : widgets)
        pageLayout->addWidget(widget);
    return page;
}
