#pragma once
// The annotation table's rows: start time, duration, low and high frequency,
// label and comment of each annotation, in the list's order. Every cell edits in
// place; an edit goes to a handler that checks it and makes the change (or
// refuses it), the model itself changes nothing.

#include "sigmf/AnnotationList.h"

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <functional>

class AnnotationTableModel : public QAbstractTableModel
{
public:
    enum Column
    {
        startColumn,
        durationColumn,
        lowColumn,
        highColumn,
        labelColumn,
        commentColumn,
        columnTotal,
    };

    // Handles the text typed into a cell; returns whether it was taken.
    using EditHandler = std::function<bool(int row, int column, const QString& text)>;
    // Hertz added to an annotation's baseband edges where they are shown, given
    // its first sample (a centre frequency while absolute frequencies are shown).
    using FrequencyOffset = std::function<double(uint64_t sample)>;

    AnnotationTableModel(const AnnotationList* list, QObject* parent = nullptr);

    void setSampleRate(double samplesPerSecond) { rate = samplesPerSecond; }
    void setFrequencyOffset(FrequencyOffset offset) { offsetOf = std::move(offset); }
    void setEditHandler(EditHandler handler) { onEdit = std::move(handler); }
    // The list changed: every row is read again.
    void refresh();
    // The text of a cell, as shown and as its editor starts.
    QString cellText(int row, int column) const;
    // The hertz added to the edges of a row.
    double offsetOfRow(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    const AnnotationList* list;
    double rate = 1.0;
    FrequencyOffset offsetOf;
    EditHandler onEdit;
};
