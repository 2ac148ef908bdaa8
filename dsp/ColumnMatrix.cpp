#include "dsp/ColumnMatrix.h"

void ColumnMatrix::clear()
{
    values.reset();
    columnCount = 0;
    rowCount = 0;
}

void ColumnMatrix::resize(size_t columns, size_t rows)
{
    clear();
    values = std::make_unique_for_overwrite<double[]>(columns * rows);
    columnCount = columns;
    rowCount = rows;
}
