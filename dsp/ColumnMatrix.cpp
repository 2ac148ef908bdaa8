// Column-major storage of spectrogram columns.

#include "dsp/ColumnMatrix.h"

void ColumnMatrix::clear()
{
    values.reset();
    capacity = 0;
    columnCount = 0;
    rowCount = 0;
}

void ColumnMatrix::resize(size_t columns, size_t rows)
{
    if (columns * rows != capacity) {
        clear();
        values = std::make_unique_for_overwrite<double[]>(columns * rows);
        capacity = columns * rows;
    }
    columnCount = columns;
    rowCount = rows;
}
