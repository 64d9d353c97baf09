// One row of the record list: seven texts in list-column order.
#pragma once

#include <QString>
#include <array>

constexpr int RECORD_COLUMNS = 7;

enum RecordColumn
{
    COL_NUMBER = 0,
    COL_WAVELENGTH = 1,
    COL_MODE = 2,
    COL_VALUE = 3,
    COL_REFERENCE = 4,
    COL_DATETIME = 5,
    COL_NOTES = 6,
};

struct MeasurementRecord
{
    std::array<QString, RECORD_COLUMNS> texts;

    bool operator==(const MeasurementRecord& o) const { return texts == o.texts; }
    bool operator!=(const MeasurementRecord& o) const { return texts != o.texts; }
};
