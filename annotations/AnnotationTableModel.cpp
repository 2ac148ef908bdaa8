// Cells of the annotation table written from the list's entries.

#include "annotations/AnnotationTableModel.h"

#include "session/NumberText.h"
#include "panel/RangeNavigation.h"

namespace {

const char* const headers[] = {"Start (s)", "Duration (s)", "Low (Hz)", "High (Hz)", "Label", "Comment"};
const char* const toolTips[] = {
    "Start of the annotation, seconds from the start of the recording",
    "Length of the annotation, seconds",
    "Lower frequency edge, Hz (absolute while absolute frequencies are shown); empty for the whole band",
    "Upper frequency edge, Hz (absolute while absolute frequencies are shown); empty for the whole band",
    "Short name drawn in the box",
    "Free text",
};

} // namespace

AnnotationTableModel::AnnotationTableModel(const AnnotationList* list, QObject* parent)
    : QAbstractTableModel(parent), list(list)
{
}

void AnnotationTableModel::refresh()
{
    beginResetModel();
    endResetModel();
}

double AnnotationTableModel::offsetOfRow(int row) const
{
    return offsetOf ? offsetOf(list->entries()[static_cast<std::size_t>(row)].annotation.sampleStart) : 0.0;
}

QString AnnotationTableModel::cellText(int row, int column) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= list->size())
        return {};
    const RecordingAnnotation& a = list->entries()[static_cast<std::size_t>(row)].annotation;
    switch (column) {
    case startColumn:
        return startTimeText(a.sampleStart, rate);
    case durationColumn:
        return exactNumber(static_cast<double>(a.sampleCount) / rate);
    case lowColumn:
        return a.lowFrequency ? exactNumber(*a.lowFrequency + offsetOfRow(row)) : QString();
    case highColumn:
        return a.highFrequency ? exactNumber(*a.highFrequency + offsetOfRow(row)) : QString();
    case labelColumn:
        return QString::fromStdString(a.label);
    case commentColumn:
        return QString::fromStdString(a.comment);
    default:
        return {};
    }
}

int AnnotationTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(list->size());
}

int AnnotationTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columnTotal;
}

QVariant AnnotationTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::ToolTipRole)
        return cellText(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && index.column() < labelColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant AnnotationTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnTotal)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(headers[section]);
    if (role == Qt::ToolTipRole)
        return QString::fromLatin1(toolTips[section]);
    return {};
}

Qt::ItemFlags AnnotationTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

bool AnnotationTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !onEdit)
        return false;
    const QString text = value.toString();
    // An editor closed without a change is no edit.
    if (text == cellText(index.row(), index.column()))
        return false;
    return onEdit(index.row(), index.column(), text);
}
