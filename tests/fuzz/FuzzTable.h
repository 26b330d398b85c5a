#pragma once
// The parameter table, built once for all runs of a fuzz target.

#include "params/ParameterTable.h"

namespace corvalin
{

inline const CParameterTable& FuzzParameterTable()
{
    static const CParameterTable table = []
    {
        CParameterTable built;
        BuildParameterTable(built);
        return built;
    }();
    return table;
}

} // namespace corvalin
