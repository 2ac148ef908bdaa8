#pragma once
// Column-major matrix of doubles in one contiguous block: the spectrogram's
// time columns, each of the same number of rows.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

class ColumnMatrix
{
public:
    // Number of columns.
    size_t size() const { return columnCount; }
    bool empty() const { return columnCount == 0; }
    // Values per column.
    size_t rows() const { return rowCount; }

    // Column c as a read-only span: matrix[c][k] is row k of column c.
    std::span<const double> operator[](size_t c) const { return {values.get() + c * rowCount, rowCount}; }
    // Pointer to the rowCount contiguous values of column c.
    const double* column(size_t c) const { return values.get() + c * rowCount; }
    double* column(size_t c) { return values.get() + c * rowCount; }

    // Drops all columns and releases the storage.
    void clear();
    // Makes room for columns x rows values (contents unspecified). Storage of
    // exactly that size is kept; any other is released before the new one is
    // taken, so that two matrices never coexist.
    void resize(size_t columns, size_t rows);

private:
    // Left uninitialised by resize(): every value is written before it is read.
    std::unique_ptr<double[]> values;
    size_t capacity = 0;
    size_t columnCount = 0;
    size_t rowCount = 0;
};
