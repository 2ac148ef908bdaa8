#include "dsp/ColumnMatrix.h"

void ColumnMatrix::clear()
{
    std::vector<double>().swap(values);
    columnCount = 0;
    rowCount = 0;
}

void ColumnMatrix::resize(size_t columns, size_t rows)
{
    clear();
    values.resize(columns * rows);
    columnCount = columns;
    rowCount = rows;
}
